// Read-only registry access for the programs' few values. Keys are opened in the 32-bit
// view, which the shipped 32-bit programs see on 64-bit Windows, so that a 64-bit build
// reads the same values ("Program Files (x86)", the 32-bit installers' uninstall keys).
#pragma once
#include <windows.h>
#include <string>

class TRegistry {
public:
  TRegistry() = default;
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey = HKEY_CURRENT_USER;

  // Key paths are relative to RootKey; a leading "\" is allowed and ignored.
  bool KeyExists(const std::string& key) const;
  // Opens the key for reading (never creates it); false when it does not exist.
  bool OpenKeyReadOnly(const std::string& key);
  // Same as OpenKeyReadOnly: this layer never creates or writes keys.
  bool OpenKey(const std::string& key, bool canCreate) {
    (void)canCreate;
    return OpenKeyReadOnly(key);
  }
  void CloseKey();
  bool HasCurrentKey() const { return current_ != nullptr; }

  bool ValueExists(const std::string& name) const;
  // A string value (REG_SZ or REG_EXPAND_SZ, unexpanded) of the open key; "" when the key
  // is not open or the value is missing or of another type.
  std::string ReadString(const std::string& name) const;

private:
  HKEY current_ = nullptr;
};
