// The archive model (see ararchive.h); extraction lives in arextract.cpp.
#include "archive/core/ararchive.h"
#include <vector>

namespace {

// Leaves the busy state however the bracketed work ends.
class TBusyGuard {
public:
  explicit TBusyGuard(TArArchive& a) : a_(a) { a_.EnterBusy(); }
  ~TBusyGuard() { a_.LeaveBusy(); }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

private:
  TArArchive& a_;
};

int LogKindOf(TArProcessType t) {
  switch (t) {
    case ptAdd: return 0;
    case ptDelete: return 1;
    case ptExtract: return 2;
    case ptFreshen: return 3;
    case ptMove: return 4;
    case ptReplace: return 5;
    default: return 7;
  }
}

}  // namespace

TArArchive::TArArchive(const std::string& fileName, uint16_t mode) {
  Status = asInvalid;
  auto stream = std::make_unique<TArSpanStream>(fileName, SpanThreshold,
                                                IsRemovableDrive(fileName) ? mkRemovableDisks : mkImageFiles, mode);
  stream->OnRequestImage = [this](void* sender, int32_t number, std::string& name, bool& abort) {
    RequestImage(sender, number, name, abort);
  };
  stream->OnProgress = [this](uint8_t progress, bool& abort) { ReportSaveProgress(progress, abort); };
  if (os::FileIdentity opened; os::GetHandleIdentity(stream->ImageHandle(), opened)) LoadedFile = opened;
  Stream = stream.release();
  OwnsStream = true;
  ArchiveName = fileName;
  OnEngineProgress = [this](uint8_t progress, bool& abort) { ReportCurrentItemProgress(progress, abort); };
  Spanned = false;
  Mode = mode;
  try {
    SetBaseDirectory(os::ProgramFolder());
  } catch (...) {
    delete Stream;
    throw;
  }
  IsDirty = false;
  AutoSave = false;
  Items = std::make_unique<TArArchiveList>();
  AddOptions = 0;
  ExtractOptions = 0;
  Status = asIdle;
}

TArArchive::TArArchive(const std::string& fileName, uint16_t mode, TNoStream) {
  Status = asInvalid;
  ArchiveName = fileName;
  OnEngineProgress = [this](uint8_t progress, bool& abort) { ReportCurrentItemProgress(progress, abort); };
  Mode = mode;
  SetBaseDirectory(os::ProgramFolder());
  Items = std::make_unique<TArArchiveList>();
  Status = asIdle;
}

TArArchive::~TArArchive() {
  if (Items) Items->FreeAll();
  Items.reset();
  if (OwnsStream) delete Stream;
  Stream = nullptr;
  LogStream.reset();
}

// ---- reporters -----------------------------------------------------------------------

void TArArchive::ReportItemFailure(TArArchiveItem* item, TArProcessType processType, TArErrorClass errorClass,
                                   int32_t errorCode) {
  if (OnProcessItemFailure) OnProcessItemFailure(this, item, processType, errorClass, errorCode);
}

void TArArchive::ReportSaveProgress(int32_t progress, bool& abort) {
  abort = false;
  if (OnSaveProgress) OnSaveProgress(this, ClampPercent(progress), abort);
}

void TArArchive::ReportArchiveProgress(int32_t progress, bool& abort) {
  abort = false;
  if (OnArchiveProgress) OnArchiveProgress(this, ClampPercent(progress), abort);
}

void TArArchive::ReportItemProgress(TArArchiveItem* item, int32_t progress, bool& abort) {
  abort = false;
  if (OnArchiveItemProgress) OnArchiveItemProgress(this, item, ClampPercent(progress), abort);
}

void TArArchive::ConfirmItem(TArArchiveItem* item, TArProcessType processType, bool& confirm) {
  confirm = true;
  if (OnConfirmProcessItem) OnConfirmProcessItem(this, item, processType, confirm);
  if (confirm && logging_) WriteLogEntry(item->GetStoredName(), LogKindOf(processType));
}

void TArArchive::ConfirmSaving(bool& confirm) {
  confirm = true;
  if (OnBeforeSave) OnBeforeSave(this, confirm);
}

void TArArchive::NotifyLoaded() {
  if (OnLoad) OnLoad(this);
}

void TArArchive::ReportCurrentItemProgress(int32_t progress, bool& abort) {
  abort = false;
  ReportItemProgress(CurrentItem, progress, abort);
}

void TArArchive::NotifySaved() {
  if (OnAfterSave) OnAfterSave(this);
}

void TArArchive::ReportEngineProgress(int32_t progress) {
  bool abort = false;
  ReportCurrentItemProgress(progress, abort);
  if (abort) throw EArAbortProgress(ArMessage(arcUserAbort));
}

void TArArchive::ReportInflateProgress(int32_t progress) { ReportEngineProgress(progress); }

void TArArchive::RequestImage(void*, int32_t, std::string&, bool&) { throw EArSpanningNotSupported(); }

// ---- names ---------------------------------------------------------------------------

std::string TArArchive::NormalizeStoredName(const std::string& name) {
  std::string n = name;
  if (DOSMode) {
    const bool hasDrive = n.size() >= 2 && n[1] == ':';
    const bool rooted = !n.empty() && n[0] == '\\';
    if (!baseDirectory_.empty() && !hasDrive && !rooted) n = AddBackslash(baseDirectory_) + n;
    n = GetShortPath(n);
  }
  if (AddOptions & aoStripDriveOrShare) StripDriveOrShare(n);
  if (!n.empty() && n[0] == '\\') n.erase(0, 1);
  if (AddOptions & aoStripPath) n = ExtractFileName(n);
  if (AddOptions & aoRemoveParentPrefixes) StripParentPrefixes(n);
  return n;
}

void TArArchive::ResolveSourcePath(TArArchiveItem* item) {
  const std::string stored = item->GetStoredName();
  std::string path;
  if ((AddOptions & aoSearchSubdirectories) && PathKind(stored) == pkBareName) {
    // Searched below the base folder by name, not by changing the process's current
    // folder, which other threads resolve against.
    std::vector<std::string> found;
    const std::string base = AddBackslash(baseDirectory_);
    FindMatchingFiles(base + stored, os::faReadOnly | os::faHidden | os::faSysFile | os::faVolumeID | os::faArchive,
                      found, true);
    if (!found.empty()) path = found.front();
  } else {
    path = baseDirectory_.empty() ? stored : AddBackslash(baseDirectory_) + stored;
  }
  ToBackslashes(path);
  item->SourcePath = path;
}

std::string TArArchive::SourceFileName(const TArArchiveItem& item) const {
  const std::string& path = item.SourcePath;
  if (!baseDirectory_.empty() && PathKind(path) != pkAbsolute && (path.empty() || path[0] != '\\'))
    return AddBackslash(baseDirectory_) + path;
  return path;
}

bool TArArchive::SourceFileChanged(TArArchiveItem* item) {
  TFileStream f(SourceFileName(*item), fmOpenRead | fmShareDenyWrite);
  const uint32_t dt = os::FileDosDateTime(f.Handle());
  return (dt >> 16) != item->GetModDate() || (dt & 0xFFFF) != item->GetModTime();
}

// ---- state ---------------------------------------------------------------------------

void TArArchive::CheckUsable() const {
  if (Status == asInvalid) throw EArNoArchive();
}

void TArArchive::EnterBusy() {
  Lock.SetLocked(true);
  ++busyDepth_;
  Status = asBusy;
}

void TArArchive::LeaveBusy() {
  // A save inside an add is nested: the archive stays busy until the outer work ends.
  if (busyDepth_ > 0) --busyDepth_;
  if (Status == asBusy && busyDepth_ == 0) Status = asIdle;
  Lock.SetLocked(false);
}

void TArArchive::SavePendingFirst(TArArchiveItem* item) {
  if (item->PendingAction != aaNone) Save();
}

int32_t TArArchive::IndexOfName(const TArArchiveItem& item) const { return Items->Find(item.GetStoredName()); }

void TArArchive::SetBaseDirectory(const std::string& value) {
  std::string v = value;
  if (v.size() > 1 && v.back() == '\\' && v[v.size() - 2] != ':') v.pop_back();
  if (!v.empty() && !DirectoryExistsNoWild(v)) throw EArNoSuchDirectory();
  baseDirectory_ = v;
  baseConverted_ = false;
}

void TArArchive::SetLogging(bool value) {
  logging_ = value;
  LogStream.reset();
  if (!value || logFile_.empty()) return;
  try {
    LogStream = std::make_unique<TFileStream>(logFile_, fmCreate);
    WriteLogEntry(ArchiveName, 6);
  } catch (...) {
    LogStream.reset();
    throw EArException(ArMessage(arcErrorCreatingLog));
  }
}

void TArArchive::WriteLogEntry(const std::string& name, int kind) {
  if (!LogStream) return;
  static const int32_t kWords[8] = {arcLogAdded, arcLogDeleted,  arcLogExtracted, arcLogFreshened,
                                    arcLogMoved, arcLogReplaced, arcLogLogging,   arcLogUnhandled};
  std::string line = name + ArMessage(kWords[kind >= 0 && kind < 8 ? kind : 7]) + os::LocalDateTimeText();
  // Cut before the line break, so a long name never runs two lines together.
  if (line.size() > 253) line.resize(253);
  line += "\r\n";
  LogStream->WriteBuffer(line.data(), static_cast<int32_t>(line.size()));
}

// ---- queued changes ------------------------------------------------------------------

// A load that failed or was stopped leaves a partial item list: the archive becomes
// unusable, so no later request walks it as if it were the whole archive.
void TArArchive::Load() {
  EnterBusy();
  try {
    // Opening the name again could read another file as this archive's.
    if (!HoldsItsFile()) throw EArNoArchive();
    ReadArchive();
  } catch (...) {
    Status = asInvalid;
    try {
      NotifyLoaded();
    } catch (...) {}
    LeaveBusy();
    throw;
  }
  Status = asIdle;
  try {
    NotifyLoaded();
  } catch (...) {
    LeaveBusy();
    throw;
  }
  LeaveBusy();
}

void TArArchive::Save() {
  if (!HoldsItsFile()) throw EArNoArchive();  // a save now would write over whatever has the name
  if (Status == asInvalid) return;
  if (!IsDirty && Count() > 0) return;
  TBusyGuard busy(*this);
  bool confirm = true;
  ConfirmSaving(confirm);
  if (!confirm) return;
  WriteArchive();
  IsDirty = false;
  NotifySaved();
}

std::unique_ptr<TArArchiveItem> TArArchive::Add(std::unique_ptr<TArArchiveItem> item) {
  CheckUsable();
  if (Items->IsActiveDuplicate(item->GetStoredName())) {
    if (AddOptions & aoFreshenExisting) {
      Freshen(*item);
      return item;
    }
    if (AddOptions & aoReplaceExisting) {
      Replace(*item);
      return item;
    }
    ReportItemFailure(item.get(), ptAdd, ecArchiveError, arcDuplicateName);
    return nullptr;
  }
  bool confirm = true;
  ConfirmItem(item.get(), ptAdd, confirm);
  if (!confirm) return item;
  TBusyGuard busy(*this);
  item->PendingAction = aaAdd;
  Items->Add(item.release());
  IsDirty = true;
  if (AutoSave) Save();
  return nullptr;
}

void TArArchive::Freshen(const TArArchiveItem& item) {
  CheckUsable();
  const int32_t index = IndexOfName(item);
  if (index >= 0) FreshenAt(index);
}

void TArArchive::Replace(const TArArchiveItem& item) {
  CheckUsable();
  const int32_t index = IndexOfName(item);
  if (index >= 0) ReplaceAt(index);
}

void TArArchive::FreshenAt(int32_t index) {
  CheckUsable();
  TArArchiveItem* item = Items->Get(index);
  SavePendingFirst(item);
  if (Items->IndexOf(item) < 0) return;  // the save removed it
  TBusyGuard busy(*this);
  ResolveSourcePath(item);
  bool changed = false;
  try {
    changed = SourceFileChanged(item);
  } catch (...) {
    TArErrorClass cls;
    int32_t code;
    ClassifyCurrentException(cls, code);
    ReportItemFailure(item, ptFreshen, cls, code);
  }
  if (!changed) return;
  bool confirm = true;
  ConfirmItem(item, ptFreshen, confirm);
  if (!confirm) return;
  item->PendingAction = aaFreshen;
  IsDirty = true;
  if (AutoSave) Save();
}

void TArArchive::ReplaceAt(int32_t index) {
  CheckUsable();
  TArArchiveItem* item = Items->Get(index);
  SavePendingFirst(item);
  if (Items->IndexOf(item) < 0) return;
  TBusyGuard busy(*this);
  ResolveSourcePath(item);
  bool confirm = true;
  ConfirmItem(item, ptReplace, confirm);
  if (!confirm) return;
  item->PendingAction = aaReplace;
  IsDirty = true;
  if (AutoSave) Save();
}

void TArArchive::Move(TArArchiveItem* item, const std::string& newName) {
  CheckUsable();
  const std::string normalized = NormalizeStoredName(newName);
  for (int32_t i = 0; i < Count(); ++i) {
    TArArchiveItem* other = Items->Get(i);
    if (other->PendingAction != aaDelete && SameStoredName(other->GetStoredName(), normalized)) {
      ReportItemFailure(item, ptMove, ecArchiveError, arcDuplicateName);
      return;
    }
  }
  SavePendingFirst(item);
  TBusyGuard busy(*this);
  bool confirm = true;
  ConfirmItem(item, ptMove, confirm);
  if (!confirm) return;
  Items->Rename(item, normalized);
  item->PendingAction = aaMove;
  IsDirty = true;
  if (AutoSave) Save();
}

// ---- stream helper -------------------------------------------------------------------

TArArchiveStreamHelper::TArArchiveStreamHelper(TStream* stream) : FStream(stream) {
  if (!stream) throw Exception("nil stream");
}
