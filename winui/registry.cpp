#include "winui/registry.h"
#include <vector>

namespace {

const REGSAM kReadAccess = KEY_READ | KEY_WOW64_32KEY;

std::string Relative(const std::string& key) {
  size_t i = 0;
  while (i < key.size() && key[i] == '\\') ++i;
  return key.substr(i);
}

}  // namespace

bool TRegistry::KeyExists(const std::string& key) const {
  HKEY h = nullptr;
  if (RegOpenKeyExA(RootKey, Relative(key).c_str(), 0, kReadAccess, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  CloseKey();
  HKEY h = nullptr;
  if (RegOpenKeyExA(RootKey, Relative(key).c_str(), 0, kReadAccess, &h) != ERROR_SUCCESS) return false;
  current_ = h;
  return true;
}

void TRegistry::CloseKey() {
  if (current_) RegCloseKey(current_);
  current_ = nullptr;
}

bool TRegistry::ValueExists(const std::string& name) const {
  return current_ && RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const {
  if (!current_) return std::string();
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(current_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::string();
  std::vector<char> buf(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) !=
      ERROR_SUCCESS)
    return std::string();
  std::string s(buf.data(), got);
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}
