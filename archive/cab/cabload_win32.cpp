// Finds the cabinet library in the system folder, never by bare name: the update client
// downloads files into its own folder, which a bare name would search first.
#include <windows.h>
#include <string>
#include "archive/cab/cabapi.h"
#include "archive/core/arerrors.h"

namespace {

template <typename T>
void Bind(HMODULE module, const char* name, T& entry) {
  entry = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

void cab::LoadCabinetLibrary() {
  TCabinetLibrary& l = CabinetLibrary();
  if (l.Loaded) return;
  char folder[MAX_PATH];
  const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) throw EArNoCabinetDll();
  const HMODULE module = ::LoadLibraryA((std::string(folder, n) + "\\cabinet.dll").c_str());
  if (!module) throw EArNoCabinetDll();
  l.Handle = module;
  Bind(module, "FDICreate", l.FDICreate);
  Bind(module, "FDIIsCabinet", l.FDIIsCabinet);
  Bind(module, "FDICopy", l.FDICopy);
  Bind(module, "FDIDestroy", l.FDIDestroy);
  Bind(module, "FCICreate", l.FCICreate);
  Bind(module, "FCIAddFile", l.FCIAddFile);
  Bind(module, "FCIFlushCabinet", l.FCIFlushCabinet);
  Bind(module, "FCIFlushFolder", l.FCIFlushFolder);
  Bind(module, "FCIDestroy", l.FCIDestroy);
  l.Loaded = true;
}
