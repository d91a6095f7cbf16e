#include "winui/dialogs.h"
#include <windows.h>
#include "base/sysutils.h"

namespace {

std::string& TitleStore() {
  static std::string title;
  return title;
}

int Box(const std::string& text, const std::string& caption, UINT flags) {
  const std::string title = caption.empty() ? DialogTitle() : caption;
  // Owned by the active window of this thread so the box stays above it and disables it;
  // with none, task-modal disables every window of the thread instead.
  HWND owner = GetActiveWindow();
  return MessageBoxA(owner, text.c_str(), title.c_str(), flags | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace

void SetDialogTitle(const std::string& title) { TitleStore() = title; }

std::string DialogTitle() {
  if (!TitleStore().empty()) return TitleStore();
  const std::string name = ExtractFileName(ProgramFileName());
  const std::string ext = ExtractFileExt(name);
  return name.substr(0, name.size() - ext.size());
}

void ShowInformation(const std::string& text, const std::string& caption) {
  Box(text, caption, MB_OK | MB_ICONINFORMATION);
}

bool AskConfirmation(const std::string& text, const std::string& caption) {
  return Box(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ShowError(const std::string& text, const std::string& caption) { Box(text, caption, MB_OK | MB_ICONERROR); }
