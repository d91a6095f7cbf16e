// The platform services of the update client: connection test, shell icons, the running
// processes, the download components, starting installers and the shell.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "download/httpfetch.h"
#include "updater/core.h"
#include "winui/winui.h"

// The file's shell icon (the caller destroys it), or nullptr when there is none.
HICON ShellIcon(const std::string& path);

class TWin32WizardHost : public IWizardHost {
public:
  // The wizard window owns the components and the self-update start.
  TWin32WizardHost(TForm* wizard, const std::array<THTTPFetch*, 4>& fetches) : wizard_(wizard), fetches_(fetches) {}

  // InternetGetConnectedState, bound by name; raises when wininet.dll cannot be loaded.
  bool IsInternetConnected(uint32_t& flags) override;
  std::vector<std::string> RunningProcessNames() override;
  void SetURL(TFetch fetch, const std::string& url) override;
  void DownloadToFile(TFetch fetch, const std::string& fileName) override;
  void CancelDownload(TFetch fetch) override;
  bool Busy(TFetch fetch) override;
  bool RunAndWait(const std::string& commandLine) override;
  bool ShellOpen(const std::string& file) override;
  void StartSelfUpdate(const std::string& file) override;
  void Sleep(int32_t ms) override;

  // Starts the command line with no window and no standard handles; the new process's
  // handle, or INVALID_HANDLE_VALUE when the platform refused.
  HANDLE LaunchProcess(const std::string& commandLine);
  // Closes the thread handle, then the process handle of the last start.
  void CloseProcessHandles();

private:
  THTTPFetch* Fetch(TFetch fetch) const { return fetches_[static_cast<size_t>(fetch)]; }

  TForm* wizard_;
  std::array<THTTPFetch*, 4> fetches_;
  // One start-up and one process record for the whole program, filled anew by each start.
  STARTUPINFOA startup_{};
  PROCESS_INFORMATION process_{};
};
