// Win32 half of the file and command-line helpers (ANSI API).
#include <windows.h>
#include <atomic>
#include "base/sysutils.h"
#include "base/sysutils_platform.h"

namespace {

std::string ErrorText(DWORD code) {
  char buf[512] = {};
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf, sizeof(buf),
                      nullptr))
    return "System error " + IntToStr(code);
  return TrimRight(buf);
}

}  // namespace

bool FileExists(const std::string& fileName) {
  const DWORD a = GetFileAttributesA(fileName.c_str());
  return !fileName.empty() && a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& dirName) {
  const DWORD a = GetFileAttributesA(dirName.c_str());
  return !dirName.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const std::string& fileName) { return DeleteFileA(fileName.c_str()) != 0; }

std::vector<std::string> FindFiles(const std::string& mask) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(mask.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = fd.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

bool LoadFileBytes(const std::string& fileName, std::string& data) {
  HANDLE h = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string result;
  char buf[16384];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(h, buf, sizeof(buf), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    result.append(buf, got);
  }
  CloseHandle(h);
  if (ok) data.swap(result);
  return ok;
}

void SaveFileBytes(const std::string& fileName, const std::string& data) {
  // A name no other writer uses; a leftover of an earlier crash is skipped, never reused.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temp = fileName + ".~" + IntToStr(GetCurrentProcessId()) + "-" + IntToStr(counter++);
    h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    throw EInOutError("Cannot create file \"" + fileName + "\". " + ErrorText(code), static_cast<int32_t>(code));
  }
  bool ok = true;
  size_t done = 0;
  while (ok && done < data.size()) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(data.size() - done > 1u << 20 ? 1u << 20 : data.size() - done);
    if (!WriteFile(h, data.data() + done, chunk, &put, nullptr) || put == 0) ok = false;
    done += put;
  }
  if (!CloseHandle(h)) ok = false;
  if (ok && !MoveFileExA(temp.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ok = false;
  if (!ok) {
    const DWORD code = GetLastError();
    DeleteFileA(temp.c_str());
    throw EInOutError("Cannot write file \"" + fileName + "\". " + ErrorText(code), static_cast<int32_t>(code));
  }
}

std::string ProgramFileName() {
  char buf[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return std::string(buf, n);
}

std::vector<std::string> PlatformArguments() { return SplitCommandLine(GetCommandLineA()); }
