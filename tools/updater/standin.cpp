// Stand-in for the installers and the self-update program in the update client's tests: it
// leaves "<its own file name>.marker" beside itself holding its command line and quits. A
// program started with "-sleep" stays a while, to be seen as running.
#include <windows.h>

#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string line = GetCommandLineA();
  if (line.find("-sleep") != std::string::npos) {
    Sleep(60000);
    return 0;
  }
  std::string marker = std::string(path) + ".marker";
  HANDLE file = CreateFileA(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  line += "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
