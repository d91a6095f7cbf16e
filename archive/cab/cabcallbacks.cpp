// The cabinet library's callbacks into the archive (see cabcallbacks.h). Each one that can
// fail runs its work inside Guarded: what it throws is kept by the archive, and the
// library gets the answer that makes it give up.
#include "archive/cab/cabcallbacks.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include "archive/cab/cabarchive.h"
#include "archive/core/pendingfile.h"
#include "base/filestream.h"

namespace {

constexpr cab::INT_PTR kFailed = -1;
// Automatic piece names end with .c99: the next number would name the first pieces again.
constexpr int32_t kMostFurtherPieces = 99;

TCabFile* FileOf(cab::INT_PTR hf) { return hf == 0 || hf == kFailed ? nullptr : reinterpret_cast<TCabFile*>(hf); }
TArCabArchive* ArchiveOf(void* pv) { return static_cast<TArCabArchive*>(pv); }

// The notifications' texts may be absent.
std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

// An entry's name in the code page of the file functions: decoded where attribute 0x80
// marks it as UTF-8, else the bytes. False for a marked name that does not decode; name is
// then the bytes.
bool EntryName(const cab::FDINOTIFICATION& n, std::string& name) {
  const std::string bytes = Text(n.psz1);
  if ((n.attribs & cab::kAttrNameIsUtf) && os::Utf8ToFileText(bytes, name)) return true;
  name = bytes;
  return !(n.attribs & cab::kAttrNameIsUtf);
}

// A file of the library's is an open handle or a stream the archive holds (an extraction
// target, a piece of the cabinet being written), whose failures raise. -1: neither.
int64_t ReadFrom(TCabFile* f, void* buffer, uint32_t cb) {
  if (!f) return -1;
  if (f->Os != os::kInvalidHandle) return os::ReadFile(f->Os, buffer, static_cast<int32_t>(cb));
  return f->Target ? f->Target->Read(buffer, static_cast<int32_t>(cb)) : -1;
}

int64_t WriteTo(TCabFile* f, const void* buffer, uint32_t cb) {
  if (!f) return -1;
  if (f->Os != os::kInvalidHandle) return os::WriteFile(f->Os, buffer, static_cast<int32_t>(cb));
  if (!f->Target) return -1;
  f->Target->WriteBuffer(buffer, static_cast<int32_t>(cb));
  return cb;
}

int64_t SeekIn(TCabFile* f, int32_t dist, int seektype) {
  if (!f) return -1;
  if (f->Os != os::kInvalidHandle) return os::SeekFile(f->Os, dist, seektype);
  return f->Target ? f->Target->Seek(dist, seektype) : -1;
}

}  // namespace

template <typename R, typename Work>
R TCabCallbacks::Guarded(TArCabArchive* a, R failure, Work&& work) {
  try {
    return work();
  } catch (...) {
    if (a && !a->pending_) a->pending_ = std::current_exception();
    return failure;
  }
}

template <typename E>
int32_t TCabCallbacks::FciFailure(void* pv, int* err) {
  if (err) *err = static_cast<int>(os::LastError());
  TArCabArchive* a = ArchiveOf(pv);
  if (a && !a->pending_) a->pending_ = std::make_exception_ptr(E());
  return -1;
}

// ---- memory and files ----------------------------------------------------------------

void* TCabCallbacks::Alloc(uint32_t cb) { return cb == 0 ? nullptr : std::malloc(cb); }

void TCabCallbacks::Free(void* pv) { std::free(pv); }

cab::INT_PTR TCabCallbacks::OpenFile(const std::string& name, int oflag) {
  if (oflag & cab::kOpenCreate) {
    // Only the library's scratch files are made here, and they hold the content it packs.
    const bool created = os::CreateNewFile(name);
    if (!created && (oflag & cab::kOpenExclusive)) return 0;
  }
  const os::FileHandle h = os::OpenFile(name, oflag & cab::kOpenAccessMask, fmShareDenyNone);
  if (h == os::kInvalidHandle) return 0;
  if ((oflag & cab::kOpenTruncate) && !os::TruncateFile(h)) {
    os::CloseFile(h);
    return 0;
  }
  auto* f = new TCabFile;
  f->Os = h;
  return reinterpret_cast<cab::INT_PTR>(f);
}

void TCabCallbacks::CloseFile(cab::INT_PTR hf) {
  TCabFile* f = FileOf(hf);
  if (!f) return;
  if (f->Os != os::kInvalidHandle) {
    os::CloseFile(f->Os);
    delete f;
  } else {
    f->Target = nullptr;  // an extraction target stays with its archive
  }
}

cab::INT_PTR TCabCallbacks::FdiOpen(char* pszFile, int oflag, int) {
  return Guarded<cab::INT_PTR>(nullptr, kFailed, [&] {
    const cab::INT_PTR hf = OpenFile(Text(pszFile), oflag);
    return hf ? hf : kFailed;
  });
}

uint32_t TCabCallbacks::FdiRead(cab::INT_PTR hf, void* pv, uint32_t cb) {
  TCabFile* f = FileOf(hf);
  return static_cast<uint32_t>(Guarded<int64_t>(f ? f->Owner : nullptr, -1, [&] { return ReadFrom(f, pv, cb); }));
}

// What an extraction target's stream raises is the failure its archive reports.
uint32_t TCabCallbacks::FdiWrite(cab::INT_PTR hf, void* pv, uint32_t cb) {
  TCabFile* f = FileOf(hf);
  return static_cast<uint32_t>(Guarded<int64_t>(f ? f->Owner : nullptr, -1, [&] { return WriteTo(f, pv, cb); }));
}

int TCabCallbacks::FdiClose(cab::INT_PTR hf) {
  CloseFile(hf);
  return 0;
}

int32_t TCabCallbacks::FdiSeek(cab::INT_PTR hf, int32_t dist, int seektype) {
  TCabFile* f = FileOf(hf);
  const int64_t pos = Guarded<int64_t>(f ? f->Owner : nullptr, -1, [&] { return SeekIn(f, dist, seektype); });
  return pos < 0 || pos > INT32_MAX ? -1 : static_cast<int32_t>(pos);
}

// ---- FDI notifications ---------------------------------------------------------------

namespace {

// The library asks for the next cabinet of a set again when it could not use the one it
// found; giving up then is the only answer that ends.
cab::INT_PTR NextCabinetAnswer(const cab::FDINOTIFICATION& n) { return n.fdie == cab::FDIERROR_NONE ? 0 : kFailed; }

}  // namespace

cab::INT_PTR TCabCallbacks::ListNotify(int32_t fdint, cab::FDINOTIFICATION* pfdin) {
  TArCabArchive* a = ArchiveOf(pfdin->pv);
  return Guarded<cab::INT_PTR>(a, kFailed, [&]() -> cab::INT_PTR {
    switch (fdint) {
      case cab::fdintCABINET_INFO:
        a->NextCabinetName = Text(pfdin->psz1);
        a->NextDiskName = Text(pfdin->psz2);
        a->SetID = pfdin->setID;
        a->CabinetNumber = pfdin->iCabinet;
        return 0;
      case cab::fdintPARTIAL_FILE:
      case cab::fdintCOPY_FILE: {
        auto item = std::make_unique<TArCabItem>();
        std::string name;
        const bool decodes = EntryName(*pfdin, name);
        item->SetStoredName(name);
        item->UndecodedName = !decodes;
        item->SetUnpackedSize(static_cast<uint32_t>(pfdin->cb));
        item->SetModDate(pfdin->date);
        item->SetModTime(pfdin->time);
        item->SetAttributes(pfdin->attribs);
        item->SetEncrypted(false);
        item->PartialFile = fdint == cab::fdintPARTIAL_FILE;
        a->Items->Add(item.release());
        return 0;  // the data is skipped
      }
      case cab::fdintNEXT_CABINET: return NextCabinetAnswer(*pfdin);
      default: return 1;
    }
  });
}

cab::INT_PTR TCabCallbacks::ExtractNotify(int32_t fdint, cab::FDINOTIFICATION* pfdin) {
  TArCabArchive* a = ArchiveOf(pfdin->pv);
  return Guarded<cab::INT_PTR>(a, kFailed, [&]() -> cab::INT_PTR {
    switch (fdint) {
      case cab::fdintCOPY_FILE: {
        std::string name;
        if (!EntryName(*pfdin, name) || name != a->CurrentItem->GetStoredName()) return 0;
        a->matched_ = true;
        // The stored name is confined to the base folder here too: the file may have
        // changed since it was listed.
        const TArConfirmOverwriteEvent confirm = [a](std::string& n, bool& c) { a->ConfirmOverwrite(n, c); };
        if (!TArArchive::PrepareOutputPath(a->BaseDirectory(), name, a->ExtractOptions, confirm, a->WalkFolders()))
          return 0;
        TArCabArchive::TTarget t;
        t.File = std::make_unique<TPendingFile>(name, a->WalkFolders());
        t.Handle = std::make_unique<TCabFile>();
        t.Handle->Target = t.File->Stream();
        t.Handle->Owner = a;
        const auto hf = reinterpret_cast<cab::INT_PTR>(t.Handle.get());
        a->targets_.push_back(std::move(t));
        return hf;
      }
      case cab::fdintCLOSE_FILE_INFO: {
        // The file is only put in place when the whole copy succeeded: the library sends
        // this also for a file whose data failed its checksum.
        for (TArCabArchive::TTarget& t : a->targets_) {
          if (reinterpret_cast<cab::INT_PTR>(t.Handle.get()) != pfdin->hf) continue;
          t.DosDateTime = static_cast<uint32_t>(pfdin->date) << 16 | pfdin->time;
          t.Attributes = pfdin->attribs;
          t.Closed = true;
          t.Handle->Target = nullptr;
          return 1;
        }
        return 0;
      }
      case cab::fdintNEXT_CABINET: return NextCabinetAnswer(*pfdin);
      default: return 0;
    }
  });
}

// ---- FCI -----------------------------------------------------------------------------

int TCabCallbacks::FilePlaced(cab::CCAB*, char*, int32_t, cab::BOOL, void*) { return 0; }

cab::INT_PTR TCabCallbacks::FciOpen(char* pszFile, int oflag, int, int* err, void* pv) {
  TArCabArchive* a = ArchiveOf(pv);
  const std::string name = Text(pszFile);
  const cab::INT_PTR hf = Guarded<cab::INT_PTR>(a, 0, [&] {
    if (!a->IsScratch(name)) return a->OpenPiece(name);
    const cab::INT_PTR opened = OpenFile(name, oflag);
    if (opened) a->fciFiles_.push_back(opened);
    return opened;
  });
  return hf ? hf : FciFailure<EArFCIFileOpenError>(pv, err);
}

// A failure of a piece's stream, as one of a handle, becomes the archive's FCI file error.
uint32_t TCabCallbacks::FciRead(cab::INT_PTR hf, void* memory, uint32_t cb, int* err, void* pv) {
  const int64_t n = Guarded<int64_t>(nullptr, -1, [&] { return ReadFrom(FileOf(hf), memory, cb); });
  return static_cast<uint32_t>(n >= 0 ? n : FciFailure<EArFCIFileReadError>(pv, err));
}

uint32_t TCabCallbacks::FciWrite(cab::INT_PTR hf, void* memory, uint32_t cb, int* err, void* pv) {
  const int64_t n = Guarded<int64_t>(nullptr, -1, [&] { return WriteTo(FileOf(hf), memory, cb); });
  return static_cast<uint32_t>(n == cb ? n : FciFailure<EArFCIFileWriteError>(pv, err));
}

int TCabCallbacks::FciClose(cab::INT_PTR hf, int* err, void* pv) {
  if (!FileOf(hf)) return FciFailure<EArFCIFileCloseError>(pv, err);
  if (TArCabArchive* a = ArchiveOf(pv)) std::erase(a->fciFiles_, hf);
  CloseFile(hf);
  return 0;
}

int32_t TCabCallbacks::FciSeek(cab::INT_PTR hf, int32_t dist, int seektype, int* err, void* pv) {
  const int64_t pos = Guarded<int64_t>(nullptr, -1, [&] { return SeekIn(FileOf(hf), dist, seektype); });
  return pos >= 0 && pos <= INT32_MAX ? static_cast<int32_t>(pos) : FciFailure<EArFCIFileSeekError>(pv, err);
}

// Only the library's scratch files are erased by name. Any other name it deletes is a
// piece's, and an old file's too: the piece is dropped and the file stays.
int TCabCallbacks::FciDelete(char* pszFile, int* err, void* pv) {
  TArCabArchive* a = ArchiveOf(pv);
  const std::string name = Text(pszFile);
  if (!a->IsScratch(name)) {
    a->DropPiece(name);
    return 0;
  }
  return os::EraseFile(name) ? 0 : FciFailure<EArFCIFileDeleteError>(pv, err);
}

cab::BOOL TCabCallbacks::GetTempFile(char* pszTempName, int cbTempName, void* pv) {
  TArCabArchive* a = ArchiveOf(pv);
  return Guarded<cab::BOOL>(a, 0, [&] {
    ++a->TempFileCounter;
    const std::string name = GetTempFileNameIn(a->TempDirectory.substr(0, 255), false);
    if (name.size() >= static_cast<size_t>(cbTempName)) return 0;
    a->scratch_.push_back(name);
    std::memcpy(pszTempName, name.c_str(), name.size() + 1);
    return 1;
  });
}

cab::BOOL TCabCallbacks::GetNextCabinet(cab::CCAB* pccab, uint32_t, void* pv) {
  TArCabArchive* a = ArchiveOf(pv);
  return Guarded<cab::BOOL>(a, 0, [&] {
    std::string image(pccab->szCab, strnlen(pccab->szCab, sizeof pccab->szCab));
    bool abort = false;
    const int32_t number = pccab->iCab - 1;
    if (a->OnRequestImage) {
      a->OnRequestImage(a, number, image, abort);
    } else {
      if (number > kMostFurtherPieces) ArRaiseCoded<EArCabException>(arcInvalidThreshold);
      MakeSpanImageName(image, static_cast<uint16_t>(number));
    }
    // A name the parameters cannot hold would name another file.
    if (abort || image.empty() || image.size() >= sizeof pccab->szCab) return 0;
    std::memcpy(pccab->szCab, image.c_str(), image.size() + 1);
    return 1;
  });
}

int32_t TCabCallbacks::Status(uint32_t typeStatus, uint32_t, uint32_t cb2, void* pv) {
  TArCabArchive* a = ArchiveOf(pv);
  return Guarded<int32_t>(a, -1, [&]() -> int32_t {
    switch (typeStatus) {
      case cab::statusFile: {
        if (!a->OnArchiveItemProgress) return 0;
        a->CurrentItemBytes += cb2;
        bool abort = false;
        const auto size = static_cast<int32_t>(a->CurrentItem ? a->CurrentItem->GetUnpackedSize() : 0);
        a->ReportItemProgress(a->CurrentItem, PercentOf(static_cast<int32_t>(a->CurrentItemBytes), size), abort);
        return abort ? -1 : 0;
      }
      case cab::statusFolder: a->CabinetSize += cb2; return 0;
      case cab::statusCabinet:
        a->NotifySaved();
        a->CabinetSize = cb2;
        return static_cast<int32_t>(cb2);
      default: return 0;
    }
  });
}

cab::INT_PTR TCabCallbacks::GetOpenInfo(char* pszName, uint16_t* pdate, uint16_t* ptime, uint16_t* pattribs, int* err,
                                        void* pv) {
  TArCabArchive* a = ArchiveOf(pv);
  const std::string name = Text(pszName);
  const cab::INT_PTR hf = Guarded<cab::INT_PTR>(a, 0, [&] { return OpenFile(name, 0); });
  if (!hf) return FciFailure<EArFCIFileOpenError>(pv, err);
  a->fciFiles_.push_back(hf);
  // Only the file system's own bits, and 0x80 where the stored name is UTF-8.
  const uint32_t attributes = ArGetFileAttributes(name);
  const auto* item = dynamic_cast<const TArCabItem*>(a ? a->CurrentItem : nullptr);
  *pattribs = static_cast<uint16_t>(
      (attributes == os::kNoAttributes ? 0
                                       : attributes & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive)) |
      (item && item->Utf8Name ? cab::kAttrNameIsUtf : 0));
  const uint32_t dt = os::FileDosDateTime(FileOf(hf)->Os);
  *pdate = static_cast<uint16_t>(dt >> 16);
  *ptime = static_cast<uint16_t>(dt);
  a->CurrentItemBytes = 0;
  return hf;
}
