#include "updater/platform_win32.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <stdexcept>

bool IsInternetConnected(uint32_t& flags) {
  flags = 0;
  HMODULE wininet = LoadLibraryA("wininet.dll");
  if (!wininet) throw std::runtime_error("Unable to locate function InternetGetConnectedState in library wininet.dll");
  using TGetConnectedState = BOOL(WINAPI*)(LPDWORD, DWORD);
  auto query = reinterpret_cast<TGetConnectedState>(
      reinterpret_cast<void*>(GetProcAddress(wininet, "InternetGetConnectedState")));
  bool connected = false;
  if (query) {
    DWORD state = 0;
    connected = query(&state, 0) != 0;
    flags = state;
  }
  FreeLibrary(wininet);
  return connected;
}

HICON ShellIcon(const std::string& path) {
  if (path.empty()) return nullptr;
  SHFILEINFOA info{};
  if (!SHGetFileInfoA(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON)) return nullptr;
  return info.hIcon;
}

std::vector<std::string> RunningProcessNames() {
  std::vector<std::string> names;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entry.szExeFile[MAX_PATH - 1] = 0;
    names.emplace_back(entry.szExeFile);
  }
  CloseHandle(snapshot);
  return names;
}

bool TWin32InstallPlatform::RunAndWait(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwXSize = 300;
  startup.dwYSize = 300;
  startup.dwXCountChars = 80;
  startup.dwYCountChars = 25;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_SHOWDEFAULT;
  PROCESS_INFORMATION process{};
  std::string writable = commandLine;
  if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool TWin32InstallPlatform::ShellOpen(const std::string& file) {
  HINSTANCE result = ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void TWin32InstallPlatform::UnzipProgress(uint8_t percent) {
  if (!bar_) return;
  bar_->SetPosition(percent);
  bar_->Repaint();
}
