#include <windows.h>
#include "archive/zip/ziparchive.h"

bool ArPlatformPrompt(const std::string& text, const std::string& caption) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_TASKMODAL | MB_OKCANCEL) != IDCANCEL;
}
