// The code-page conversions of the OS layer under the names its header declares. The
// system header defines macros of the same names, which rename the layer's own
// definitions (they end up as OemToCharA and CharToOemA); these are the missing ones.
#include <windows.h>
#undef OemToAnsi
#undef AnsiToOem
#include "base/os.h"

namespace os {

std::string OemToAnsi(const std::string& s) {
  std::string r = s;
  if (!r.empty()) ::OemToCharBuffA(s.data(), &r[0], static_cast<DWORD>(r.size()));
  return r;
}

std::string AnsiToOem(const std::string& s) {
  std::string r = s;
  if (!r.empty()) ::CharToOemBuffA(s.data(), &r[0], static_cast<DWORD>(r.size()));
  return r;
}

}  // namespace os
