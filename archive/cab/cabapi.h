// The platform cabinet library's FDI (reading) and FCI (writing) interface, declared here
// from its published description: the records, the callback shapes and the nine entry
// points, bound at run time. Every entry point and callback uses the C calling convention;
// INT_PTR handles are pointer-sized and "long" is 32 bits on both Windows pointer sizes.
// Portable: only the loader (cabload_*.cpp) knows how the library is found.
#pragma once
#include <cstdint>

#if defined(__i386__)
#define AR_CABCALL __attribute__((cdecl))
#else
#define AR_CABCALL
#endif

namespace cab {

using HFDI = void*;
using HFCI = void*;
using INT_PTR = intptr_t;
using BOOL = int32_t;

// Error record filled by the library when a call fails.
struct ERF {
  int32_t erfOper;
  int32_t erfType;
  BOOL fError;
};

constexpr int kMaxCabinetName = 256;

// The parameters of the cabinet being written (sizes in bytes; 0 reserve sizes).
struct CCAB {
  uint32_t cb;              // largest cabinet
  uint32_t cbFolderThresh;  // a folder is closed when it reaches this size
  uint32_t cbReserveCFHeader;
  uint32_t cbReserveCFFolder;
  uint32_t cbReserveCFData;
  int32_t iCab;   // number of this cabinet in the set, from 1
  int32_t iDisk;  // number of its disk
  int32_t fFailOnIncompressible;
  uint16_t setID;
  char szDisk[kMaxCabinetName];
  char szCab[kMaxCabinetName];
  char szCabPath[kMaxCabinetName];  // with its trailing "\"
};

struct FDICABINETINFO {
  int32_t cbCabinet;
  uint16_t cFolders;
  uint16_t cFiles;
  uint16_t setID;
  uint16_t iCabinet;
  BOOL fReserve;
  BOOL hasprev;
  BOOL hasnext;
};

enum : int32_t {
  fdintCABINET_INFO = 0,
  fdintPARTIAL_FILE = 1,
  fdintCOPY_FILE = 2,
  fdintCLOSE_FILE_INFO = 3,
  fdintNEXT_CABINET = 4,
  fdintENUMERATE = 5,
};
enum : int32_t { FDIERROR_NONE = 0 };

// What a notification carries; which fields are set depends on its type.
struct FDINOTIFICATION {
  int32_t cb;  // file size
  char* psz1;  // file name; next cabinet name
  char* psz2;  // next disk name
  char* psz3;  // cabinet path
  void* pv;    // the user value given to FDICopy
  INT_PTR hf;
  uint16_t date;
  uint16_t time;
  uint16_t attribs;
  uint16_t setID;
  uint16_t iCabinet;
  uint16_t iFolder;
  int32_t fdie;  // for the next-cabinet notification: why it is asked again
};

static_assert(sizeof(ERF) == 12, "ERF layout");
static_assert(sizeof(CCAB) == 804, "CCAB layout");
static_assert(sizeof(FDICABINETINFO) == 24, "FDICABINETINFO layout");
static_assert(sizeof(FDINOTIFICATION) == (sizeof(void*) == 4 ? 40 : 64), "FDINOTIFICATION layout");

// Attribute bits of a cabinet's file entries beyond the file system's own.
enum : uint16_t { kAttrExec = 0x40, kAttrNameIsUtf = 0x80 };
// Compression types.
enum : uint16_t { tcompTYPE_NONE = 0, tcompTYPE_MSZIP = 1 };
// FCI status kinds.
enum : uint32_t { statusFile = 0, statusFolder = 1, statusCabinet = 2 };
// The processor type FDI is told: let it find out.
constexpr int cpuUNKNOWN = -1;
// Open flags the library passes to the open callbacks (the C run-time's).
enum : int { kOpenAccessMask = 3, kOpenCreate = 0x100, kOpenTruncate = 0x200, kOpenExclusive = 0x400 };

// Memory and FDI file callbacks.
using PFNALLOC = void*(AR_CABCALL*)(uint32_t cb);
using PFNFREE = void(AR_CABCALL*)(void* pv);
using PFNOPEN = INT_PTR(AR_CABCALL*)(char* pszFile, int oflag, int pmode);
using PFNREAD = uint32_t(AR_CABCALL*)(INT_PTR hf, void* pv, uint32_t cb);
using PFNWRITE = uint32_t(AR_CABCALL*)(INT_PTR hf, void* pv, uint32_t cb);
using PFNCLOSE = int(AR_CABCALL*)(INT_PTR hf);
using PFNSEEK = int32_t(AR_CABCALL*)(INT_PTR hf, int32_t dist, int seektype);
using PFNFDINOTIFY = INT_PTR(AR_CABCALL*)(int32_t fdint, FDINOTIFICATION* pfdin);
using PFNFDIDECRYPT = int(AR_CABCALL*)(void* pfdid);

// FCI callbacks; each gets the user value given to FCICreate.
using PFNFCIFILEPLACED = int(AR_CABCALL*)(CCAB* pccab, char* pszFile, int32_t cbFile, BOOL fContinuation, void* pv);
using PFNFCIOPEN = INT_PTR(AR_CABCALL*)(char* pszFile, int oflag, int pmode, int* err, void* pv);
using PFNFCIREAD = uint32_t(AR_CABCALL*)(INT_PTR hf, void* memory, uint32_t cb, int* err, void* pv);
using PFNFCIWRITE = uint32_t(AR_CABCALL*)(INT_PTR hf, void* memory, uint32_t cb, int* err, void* pv);
using PFNFCICLOSE = int(AR_CABCALL*)(INT_PTR hf, int* err, void* pv);
using PFNFCISEEK = int32_t(AR_CABCALL*)(INT_PTR hf, int32_t dist, int seektype, int* err, void* pv);
using PFNFCIDELETE = int(AR_CABCALL*)(char* pszFile, int* err, void* pv);
using PFNFCIGETTEMPFILE = BOOL(AR_CABCALL*)(char* pszTempName, int cbTempName, void* pv);
using PFNFCIGETNEXTCABINET = BOOL(AR_CABCALL*)(CCAB* pccab, uint32_t cbPrevCab, void* pv);
using PFNFCISTATUS = int32_t(AR_CABCALL*)(uint32_t typeStatus, uint32_t cb1, uint32_t cb2, void* pv);
using PFNFCIGETOPENINFO = INT_PTR(AR_CABCALL*)(char* pszName, uint16_t* pdate, uint16_t* ptime, uint16_t* pattribs,
                                               int* err, void* pv);

// The entry points.
using PFDICreate = HFDI(AR_CABCALL*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int cpuType,
                                     ERF* perf);
using PFDIIsCabinet = BOOL(AR_CABCALL*)(HFDI hfdi, INT_PTR hf, FDICABINETINFO* pfdici);
using PFDICopy = BOOL(AR_CABCALL*)(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin,
                                   PFNFDIDECRYPT pfnfdid, void* pvUser);
using PFDIDestroy = BOOL(AR_CABCALL*)(HFDI hfdi);
using PFCICreate = HFCI(AR_CABCALL*)(ERF* perf, PFNFCIFILEPLACED, PFNALLOC, PFNFREE, PFNFCIOPEN, PFNFCIREAD,
                                     PFNFCIWRITE, PFNFCICLOSE, PFNFCISEEK, PFNFCIDELETE, PFNFCIGETTEMPFILE, CCAB* pccab,
                                     void* pv);
using PFCIAddFile = BOOL(AR_CABCALL*)(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute,
                                      PFNFCIGETNEXTCABINET, PFNFCISTATUS, PFNFCIGETOPENINFO, uint16_t typeCompress);
using PFCIFlushCabinet = BOOL(AR_CABCALL*)(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET, PFNFCISTATUS);
using PFCIFlushFolder = BOOL(AR_CABCALL*)(HFCI hfci, PFNFCIGETNEXTCABINET, PFNFCISTATUS);
using PFCIDestroy = BOOL(AR_CABCALL*)(HFCI hfci);

// The process-wide binding: written once, by the first call that finds the library; an
// entry point the library lacks stays empty.
struct TCabinetLibrary {
  bool Loaded = false;
  void* Handle = nullptr;
  PFDICreate FDICreate = nullptr;
  PFDIIsCabinet FDIIsCabinet = nullptr;
  PFDICopy FDICopy = nullptr;
  PFDIDestroy FDIDestroy = nullptr;
  PFCICreate FCICreate = nullptr;
  PFCIAddFile FCIAddFile = nullptr;
  PFCIFlushCabinet FCIFlushCabinet = nullptr;
  PFCIFlushFolder FCIFlushFolder = nullptr;
  PFCIDestroy FCIDestroy = nullptr;
};
TCabinetLibrary& CabinetLibrary();

// Binds the library on first use; raises EArNoCabinetDll when it cannot be loaded (and
// tries again on the next call). Never unloads it.
void LoadCabinetLibrary();

// Call wrappers: each binds the library first and answers 0 (no context, FALSE) for an
// entry point that is not bound.
HFDI FDICreate(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int cpuType, ERF* perf);
BOOL FDIIsCabinet(HFDI hfdi, INT_PTR hf, FDICABINETINFO* pfdici);
BOOL FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin, PFNFDIDECRYPT pfnfdid,
             void* pvUser);
BOOL FDIDestroy(HFDI hfdi);
HFCI FCICreate(ERF* perf, PFNFCIFILEPLACED, PFNALLOC, PFNFREE, PFNFCIOPEN, PFNFCIREAD, PFNFCIWRITE, PFNFCICLOSE,
               PFNFCISEEK, PFNFCIDELETE, PFNFCIGETTEMPFILE, CCAB* pccab, void* pv);
BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute, PFNFCIGETNEXTCABINET, PFNFCISTATUS,
                PFNFCIGETOPENINFO, uint16_t typeCompress);
BOOL FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET, PFNFCISTATUS);
BOOL FCIDestroy(HFCI hfci);

}  // namespace cab
