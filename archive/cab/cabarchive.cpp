// The cabinet archive (see cabarchive.h): the library calls and what the archive model
// asks of a format. The callbacks it hands the library are in cabcallbacks.cpp.
#include "archive/cab/cabarchive.h"
#include <algorithm>
#include <cstring>
#include "archive/cab/cabcallbacks.h"
#include "archive/core/pendingfile.h"
#include "archive/typedetect.h"

namespace {

using CB = TCabCallbacks;

// The largest cabinet the parameters can ask for: a size of 0 would fail every write.
constexpr uint32_t kNoSizeLimit = 0x7FFFFFFF;

uint32_t SizeLimit(int32_t value) { return value >= 1 ? static_cast<uint32_t>(value) : kNoSizeLimit; }

// Copies text into one of the parameters' name fields; false when it does not fit.
bool CopyName(char (&field)[cab::kMaxCabinetName], const std::string& text) {
  if (text.size() >= sizeof field) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

TArCabArchive::TArCabArchive(const std::string& fileName, uint16_t mode)
    : TArArchive(fileName, static_cast<uint16_t>(mode & 1), TNoStream{}) {
  CabinetFileName = ExtractFileName(fileName);
  CabinetFolder = ExtractFilePath(fileName);
  SetSpanThreshold(0);
}

TArCabArchive::~TArCabArchive() {
  try {
    CloseContexts();
  } catch (...) {
    // A destructor has nobody to tell; a cabinet that could not be finished was given up.
  }
}

void TArCabArchive::RaisePending() {
  if (!pending_) return;
  std::exception_ptr e = pending_;
  pending_ = nullptr;
  std::rethrow_exception(e);
}

// ---- contexts ------------------------------------------------------------------------

void TArCabArchive::CloseContexts() {
  if (fdi_) {
    cab::FDIDestroy(fdi_);
    fdi_ = nullptr;
  }
  if (fci_ && saveRefused_) AbandonCabinet();
  if (fci_) FinishCabinet(false);
  bool abort = false;
  ReportArchiveProgress(0, abort);
}

// Ends the compression context, which removes the library's own files, and closes what
// it left open. Whatever the library's clean-up reports changes nothing, so it is dropped.
void TArCabArchive::EndCompressionContext() {
  cab::FCIDestroy(fci_);
  fci_ = nullptr;
  pending_ = nullptr;
  scratch_.clear();
  for (const cab::INT_PTR hf : fciFiles_) CB::CloseFile(hf);
  fciFiles_.clear();
}

// Flushes the cabinet being written and ends the context: flushing the same context
// again would write the cabinet anew, empty. The pieces take their targets' places only
// when the whole set was written; otherwise the cabinet is given up.
void TArCabArchive::FinishCabinet(bool raise) {
  const cab::BOOL flushed = cab::FCIFlushCabinet(fci_, 0, &CB::GetNextCabinet, &CB::Status);
  std::exception_ptr failure = pending_;
  EndCompressionContext();
  if (flushed && !failure) {
    try {
      // Each piece still holds back its last writes, which a full disk fails: all of them
      // are written out before the first one replaces an old file.
      for (TTarget& piece : pieces_)
        if (piece.File) piece.File->Close();
      for (TTarget& piece : pieces_)
        if (piece.File) piece.File->CommitKeepingAttributes();
      pieces_.clear();
      writing_ = TWriting::Finished;
      return;
    } catch (...) { failure = std::current_exception(); }
  }
  pieces_.clear();
  writing_ = TWriting::Failed;
  if (!raise) return;
  if (failure) std::rethrow_exception(failure);
  ArRaiseCoded<EArCabException>(arcFCIFlushCabinet);
}

// After a failure nothing of the cabinet may reach the disk: the context ends without a
// flush (which would write what it holds, a file cut short among it) and the pieces
// written so far go. What the failure stored stays to be raised.
void TArCabArchive::AbandonCabinet() {
  const std::exception_ptr failure = pending_;
  EndCompressionContext();
  pending_ = failure;
  pieces_.clear();
  writing_ = TWriting::Failed;
}

// A piece of the cabinet, opened for the library: a pending file for its name, which
// replaces an old file of that name as a saved archive does. 0 when it cannot be made,
// which the library hears as a failed open.
cab::INT_PTR TArCabArchive::OpenPiece(const std::string& name) {
  TTarget piece;
  try {
    piece.File = std::make_unique<TPendingFile>(name, arReplaceArchive);
  } catch (const std::exception&) { return 0; }
  piece.Handle = std::make_unique<TCabFile>();
  piece.Handle->Target = piece.File->Stream();
  piece.Handle->Owner = this;
  piece.Name = name;
  const auto hf = reinterpret_cast<cab::INT_PTR>(piece.Handle.get());
  pieces_.push_back(std::move(piece));
  return hf;
}

// What was written of a piece goes, and the file it would have replaced stays. Its handle
// stays valid for the library, with nothing behind it.
void TArCabArchive::DropPiece(const std::string& name) {
  for (TTarget& piece : pieces_) {
    if (!piece.File || piece.Name != name) continue;
    piece.Handle->Target = nullptr;
    piece.File.reset();
  }
}

bool TArCabArchive::IsScratch(const std::string& name) const {
  return std::find(scratch_.begin(), scratch_.end(), name) != scratch_.end();
}

void TArCabArchive::CreateCompressionContext() {
  cab::CCAB& p = CabinetParameters;
  p.cb = SizeLimit(GetSpanThreshold());
  p.cbFolderThresh = FolderThreshold;
  p.cbReserveCFHeader = p.cbReserveCFFolder = p.cbReserveCFData = 0;
  p.iCab = 1;
  p.iDisk = 0;
  p.fFailOnIncompressible = 0;
  p.szDisk[0] = 0;
  if (!CopyName(p.szCab, CabinetFileName) || !CopyName(p.szCabPath, CabinetFolder)) throw EArFCICreateError();
  fci_ = cab::FCICreate(&ErrorRecord, &CB::FilePlaced, &CB::Alloc, &CB::Free, &CB::FciOpen, &CB::FciRead, &CB::FciWrite,
                        &CB::FciClose, &CB::FciSeek, &CB::FciDelete, &CB::GetTempFile, &p, this);
  pending_ = nullptr;
  if (!fci_) {
    CloseContexts();
    throw EArFCICreateError();
  }
}

// ---- reading -------------------------------------------------------------------------

void TArCabArchive::ReadArchive() {
  if (CreateMode()) {
    if (!fci_ && writing_ == TWriting::Open) CreateCompressionContext();
    return;
  }
  if (fdi_) cab::FDIDestroy(fdi_);
  fdi_ = cab::FDICreate(&CB::Alloc, &CB::Free, &CB::FdiOpen, &CB::FdiRead, &CB::FdiWrite, &CB::FdiClose, &CB::FdiSeek,
                        cab::cpuUNKNOWN, &ErrorRecord);
  if (!fdi_) throw EArFDICreateError();
  const cab::INT_PTR hf = CB::OpenFile(ArchiveName, 0);
  if (!hf) throw EArReadError();
  const cab::BOOL isCabinet = cab::FDIIsCabinet(fdi_, hf, &CabinetInfo);
  CB::CloseFile(hf);
  if (!isCabinet) {
    CloseContexts();
    throw EArInvalidCabFile();
  }
  CabinetSize = static_cast<uint32_t>(CabinetInfo.cbCabinet);
  FolderCount = CabinetInfo.cFolders;
  FileCount = CabinetInfo.cFiles;
  CabinetNumber = CabinetInfo.iCabinet;
  HasPrevious = CabinetInfo.hasprev != 0;
  HasNext = CabinetInfo.hasnext != 0;
  ListEntries();
  bool abort = false;
  ReportArchiveProgress(100, abort);
}

void TArCabArchive::ListEntries() {
  Items->FreeAll();
  const cab::BOOL copied =
      cab::FDICopy(fdi_, CabinetFileName.data(), CabinetFolder.data(), 0, &CB::ListNotify, nullptr, this);
  if (pending_ || !copied) {
    std::exception_ptr e = pending_;
    pending_ = nullptr;
    CloseContexts();
    if (e) std::rethrow_exception(e);
    throw EArFDICopyError();
  }
}

// ---- extraction ----------------------------------------------------------------------

void TArCabArchive::ConfirmOverwrite(std::string& name, bool& confirm) {
  confirm = true;
  if (OnConfirmOverwrite) OnConfirmOverwrite(name, confirm);
}

void TArCabArchive::UnpackItemToFile(int32_t index, const std::string&) {
  CurrentItem = Items->Get(index);
  matched_ = false;
  targets_.clear();
  struct TDiscard {  // targets not put in place are removed, however the pass ends
    std::vector<TTarget>& t;
    ~TDiscard() { t.clear(); }
  } discard{targets_};
  const cab::BOOL copied =
      fdi_ && cab::FDICopy(fdi_, CabinetFileName.data(), CabinetFolder.data(), 0, &CB::ExtractNotify, nullptr, this);
  RaisePending();
  if (!copied || !matched_) {
    ReportItemFailure(CurrentItem, ptExtract, ecCabError, 0);
    return;
  }
  for (TTarget& t : targets_)
    if (t.Closed) t.File->Commit(t.DosDateTime, t.Attributes);
}

// ---- writing -------------------------------------------------------------------------

TArArchiveItem* TArCabArchive::NewItem(const std::string& fileName) {
  auto item = std::make_unique<TArCabItem>();
  item->SetPackedSize(0);
  // The source is opened by the file functions, so it keeps their code page; the name
  // stored in the cabinet is OEM text, or UTF-8 where OEM lacks one of its characters.
  item->SourcePath = os::FullPath(fileName);
  const std::string name = NormalizeStoredName(fileName);
  std::string stored;
  item->Utf8Name = OemOrUtf8Name(name, stored);
  item->SetStoredName(stored);
  return item.release();
}

std::unique_ptr<TArArchiveItem> TArCabArchive::Add(std::unique_ptr<TArArchiveItem> item) {
  if (!CreateMode()) {
    ReportItemFailure(item.get(), ptAdd, ecCabError, 0);
    return item;
  }
  CheckUsable();
  if (Items->IsActiveDuplicate(item->GetStoredName())) throw EArDuplicateName();
  bool confirm = true;
  ConfirmItem(item.get(), ptAdd, confirm);
  if (!confirm) return item;
  // Once finished, a cabinet takes nothing more: a new one would replace it. Once given
  // up, it takes nothing either.
  if (writing_ != TWriting::Open) throw EArFCIAddFileError();
  item->PendingAction = aaAdd;
  const cab::INT_PTR hf = CB::OpenFile(item->SourcePath, 0);
  if (!hf) throw EArFileNotFound();
  const int32_t size = CB::FdiSeek(hf, 0, soFromEnd);
  CB::CloseFile(hf);
  item->SetUnpackedSize(static_cast<uint32_t>(size < 0 ? 0 : size));
  if (!fci_) CreateCompressionContext();
  CurrentItem = item.get();
  TArArchiveItem* added = item.get();
  Items->Add(item.release());
  IsDirty = true;
  std::string source = added->SourcePath;
  std::string name = ExtractFileName(added->GetStoredName());
  const cab::BOOL ok = cab::FCIAddFile(fci_, source.data(), name.data(), 0, &CB::GetNextCabinet, &CB::Status,
                                       &CB::GetOpenInfo, CompressionType);
  if (ok && !pending_) return nullptr;
  AbandonCabinet();
  RaisePending();
  throw EArFCIAddFileError();
}

void TArCabArchive::ConfirmSaving(bool& confirm) {
  TArArchive::ConfirmSaving(confirm);
  saveRefused_ = !confirm;
}

void TArCabArchive::WriteArchive() {
  if (writing_ == TWriting::Failed) ArRaiseCoded<EArCabException>(arcFCIFlushCabinet);
  if (fci_) FinishCabinet(true);
}

void TArCabArchive::SetSpanThreshold(int32_t value) {
  TArArchive::SetSpanThreshold(value < 0 ? 0 : value);
  CabinetParameters.cb = SizeLimit(value);
}

// ---- detection -----------------------------------------------------------------------

ArchiveTypeCode ProbeCabinetFile(const std::string& fileName) {
  TArCabArchive archive(fileName, fmOpenRead | fmShareDenyNone);
  try {
    archive.ReadArchive();
  } catch (const EArFDICreateError&) { return atUnknown; }
  return atCabinet;
}
