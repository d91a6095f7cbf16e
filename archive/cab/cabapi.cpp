// The call wrappers of the cabinet library binding (see cabapi.h).
#include "archive/cab/cabapi.h"

namespace cab {

TCabinetLibrary& CabinetLibrary() {
  static TCabinetLibrary library;
  return library;
}

namespace {

// The bound library, loaded on the way.
const TCabinetLibrary& Bound() {
  LoadCabinetLibrary();
  return CabinetLibrary();
}

}  // namespace

HFDI FDICreate(PFNALLOC a, PFNFREE f, PFNOPEN o, PFNREAD r, PFNWRITE w, PFNCLOSE c, PFNSEEK s, int cpuType, ERF* perf) {
  const TCabinetLibrary& l = Bound();
  return l.FDICreate ? l.FDICreate(a, f, o, r, w, c, s, cpuType, perf) : nullptr;
}

BOOL FDIIsCabinet(HFDI hfdi, INT_PTR hf, FDICABINETINFO* pfdici) {
  const TCabinetLibrary& l = Bound();
  return l.FDIIsCabinet ? l.FDIIsCabinet(hfdi, hf, pfdici) : 0;
}

BOOL FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin, PFNFDIDECRYPT pfnfdid,
             void* pvUser) {
  const TCabinetLibrary& l = Bound();
  return l.FDICopy ? l.FDICopy(hfdi, pszCabinet, pszCabPath, flags, pfnfdin, pfnfdid, pvUser) : 0;
}

BOOL FDIDestroy(HFDI hfdi) {
  const TCabinetLibrary& l = Bound();
  return l.FDIDestroy ? l.FDIDestroy(hfdi) : 0;
}

HFCI FCICreate(ERF* perf, PFNFCIFILEPLACED fp, PFNALLOC a, PFNFREE f, PFNFCIOPEN o, PFNFCIREAD r, PFNFCIWRITE w,
               PFNFCICLOSE c, PFNFCISEEK s, PFNFCIDELETE d, PFNFCIGETTEMPFILE t, CCAB* pccab, void* pv) {
  const TCabinetLibrary& l = Bound();
  return l.FCICreate ? l.FCICreate(perf, fp, a, f, o, r, w, c, s, d, t, pccab, pv) : nullptr;
}

BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute, PFNFCIGETNEXTCABINET n,
                PFNFCISTATUS s, PFNFCIGETOPENINFO g, uint16_t typeCompress) {
  const TCabinetLibrary& l = Bound();
  return l.FCIAddFile ? l.FCIAddFile(hfci, pszSourceFile, pszFileName, fExecute, n, s, g, typeCompress) : 0;
}

BOOL FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET n, PFNFCISTATUS s) {
  const TCabinetLibrary& l = Bound();
  return l.FCIFlushCabinet ? l.FCIFlushCabinet(hfci, fGetNextCab, n, s) : 0;
}

BOOL FCIDestroy(HFCI hfci) {
  const TCabinetLibrary& l = Bound();
  return l.FCIDestroy ? l.FCIDestroy(hfci) : 0;
}

}  // namespace cab
