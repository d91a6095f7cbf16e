// The platform services of the update client: connection test, shell icons, the running
// processes, and starting installers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "flat/flat_progress_bar.h"
#include "updater/client_logic.h"

// InternetGetConnectedState, bound by name; raises when wininet.dll cannot be loaded.
bool IsInternetConnected(uint32_t& flags);
// The file's shell icon (the caller destroys it), or nullptr when there is none.
HICON ShellIcon(const std::string& path);
// Executable names of the running processes.
std::vector<std::string> RunningProcessNames();

class TWin32InstallPlatform : public skyvane::IInstallPlatform {
public:
  explicit TWin32InstallPlatform(TFlatProgressBar* bar) : bar_(bar) {}
  bool RunAndWait(const std::string& commandLine) override;
  bool ShellOpen(const std::string& file) override;
  void UnzipProgress(uint8_t percent) override;

private:
  TFlatProgressBar* bar_;
};
