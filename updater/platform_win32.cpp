#include "updater/platform_win32.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <stdexcept>

bool TWin32WizardHost::IsInternetConnected(uint32_t& flags) {
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

std::vector<std::string> TWin32WizardHost::RunningProcessNames() {
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

void TWin32WizardHost::SetURL(TFetch fetch, const std::string& url) { Fetch(fetch)->URL = url; }

void TWin32WizardHost::DownloadToFile(TFetch fetch, const std::string& fileName) {
  Fetch(fetch)->FileName = fileName;
  Fetch(fetch)->DownloadToFile();
}

void TWin32WizardHost::CancelDownload(TFetch fetch) { Fetch(fetch)->CancelDownload(); }
bool TWin32WizardHost::Busy(TFetch fetch) { return Fetch(fetch)->Busy(); }

HANDLE TWin32WizardHost::LaunchProcess(const std::string& commandLine) {
  startup_ = STARTUPINFOA{};
  startup_.cb = sizeof(startup_);
  startup_.dwXSize = 300;
  startup_.dwYSize = 300;
  startup_.dwXCountChars = 80;
  startup_.dwYCountChars = 25;
  startup_.dwFlags = STARTF_USESTDHANDLES;
  startup_.wShowWindow = SW_SHOWDEFAULT;
  process_ = PROCESS_INFORMATION{};
  std::string writable = commandLine;
  if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup_, &process_))
    return INVALID_HANDLE_VALUE;
  return process_.hProcess;
}

void TWin32WizardHost::CloseProcessHandles() {
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool TWin32WizardHost::RunAndWait(const std::string& commandLine) {
  HANDLE process = LaunchProcess(commandLine);
  if (process == INVALID_HANDLE_VALUE || process == nullptr) return false;
  WaitForSingleObject(process, INFINITE);
  CloseProcessHandles();
  return true;
}

bool TWin32WizardHost::ShellOpen(const std::string& file) {
  HINSTANCE result = ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void TWin32WizardHost::StartSelfUpdate(const std::string& file) {
  ShellExecuteA(wizard_->Handle(), "open", file.c_str(), nullptr, nullptr, SW_HIDE);
}

void TWin32WizardHost::Sleep(int32_t ms) { ::Sleep(static_cast<DWORD>(ms)); }
