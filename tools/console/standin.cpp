// Stand-in for an outside program that the console starts (timer.exe, shutdown.exe, the
// update client). It writes how it was started into "<its name>.marker" beside itself:
// the command line on the first line, the current folder on the second; then it ends.
#include <windows.h>

#include <string>

int main() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string marker(path, n);
  marker = marker.substr(0, marker.size() - 4) + ".marker";
  char dir[MAX_PATH];
  DWORD d = GetCurrentDirectoryA(MAX_PATH, dir);
  std::string text = std::string(GetCommandLineA()) + "\r\n" + std::string(dir, d) + "\r\n";
  HANDLE f = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return 0;
}
