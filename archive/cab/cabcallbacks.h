// The functions the cabinet library calls back: memory, files, FDI notifications and the
// FCI requests. None lets an exception escape into the library (see cabarchive.h).
#pragma once
#include <cstdint>
#include <string>
#include "archive/cab/cabapi.h"
#include "base/os.h"

class TArCabArchive;
class TStream;

// A file the library holds open; the handles it is given point at these. Either a file
// the library opened itself, or an extraction target that the archive owns and the
// library only writes (and closes by notification).
struct TCabFile {
  os::FileHandle Os = os::kInvalidHandle;
  TStream* Target = nullptr;       // an open extraction target
  TArCabArchive* Owner = nullptr;  // told of failures, where the library passes no user value
};

struct TCabCallbacks {
  static void* AR_CABCALL Alloc(uint32_t cb);
  static void AR_CABCALL Free(void* pv);

  // FDI's files: failures are answered to the library only.
  static cab::INT_PTR AR_CABCALL FdiOpen(char* pszFile, int oflag, int pmode);
  static uint32_t AR_CABCALL FdiRead(cab::INT_PTR hf, void* pv, uint32_t cb);
  static uint32_t AR_CABCALL FdiWrite(cab::INT_PTR hf, void* pv, uint32_t cb);
  static int AR_CABCALL FdiClose(cab::INT_PTR hf);
  static int32_t AR_CABCALL FdiSeek(cab::INT_PTR hf, int32_t dist, int seektype);

  static cab::INT_PTR AR_CABCALL ListNotify(int32_t fdint, cab::FDINOTIFICATION* pfdin);
  static cab::INT_PTR AR_CABCALL ExtractNotify(int32_t fdint, cab::FDINOTIFICATION* pfdin);

  // FCI's files: each failure becomes the archive's FCI file error. The library's own
  // files are those GetTempFile named; every other file it opens is a piece of the
  // cabinet, which the archive holds until the set is whole.
  static int AR_CABCALL FilePlaced(cab::CCAB* pccab, char* pszFile, int32_t cbFile, cab::BOOL fContinuation, void* pv);
  static cab::INT_PTR AR_CABCALL FciOpen(char* pszFile, int oflag, int pmode, int* err, void* pv);
  static uint32_t AR_CABCALL FciRead(cab::INT_PTR hf, void* memory, uint32_t cb, int* err, void* pv);
  static uint32_t AR_CABCALL FciWrite(cab::INT_PTR hf, void* memory, uint32_t cb, int* err, void* pv);
  static int AR_CABCALL FciClose(cab::INT_PTR hf, int* err, void* pv);
  static int32_t AR_CABCALL FciSeek(cab::INT_PTR hf, int32_t dist, int seektype, int* err, void* pv);
  static int AR_CABCALL FciDelete(char* pszFile, int* err, void* pv);
  static cab::BOOL AR_CABCALL GetTempFile(char* pszTempName, int cbTempName, void* pv);
  static cab::BOOL AR_CABCALL GetNextCabinet(cab::CCAB* pccab, uint32_t cbPrevCab, void* pv);
  static int32_t AR_CABCALL Status(uint32_t typeStatus, uint32_t cb1, uint32_t cb2, void* pv);
  static cab::INT_PTR AR_CABCALL GetOpenInfo(char* pszName, uint16_t* pdate, uint16_t* ptime, uint16_t* pattribs,
                                             int* err, void* pv);

  // Opens a file as the library asks (its open flags are the C run-time's) for reading
  // through the callbacks; 0 when it cannot be opened.
  static cab::INT_PTR OpenFile(const std::string& name, int oflag);
  static void CloseFile(cab::INT_PTR hf);

private:
  // Runs a callback's work for archive a (none: FDI's file callbacks, which get no user
  // value); what it throws is kept by the archive and the library is answered failure.
  template <typename R, typename Work>
  static R Guarded(TArCabArchive* a, R failure, Work&& work);
  // Fails an FCI file callback: the archive keeps error E, the library gets -1.
  template <typename E>
  static int32_t FciFailure(void* pv, int* err);
};
