// The format-independent archive: its stream, items, state, options and hooks. Changes
// are queued as pending actions on the items and written in one pass by Save; reading
// the directory, writing the archive and unpacking an item belong to each format.
// Extraction by masks, the road that unpacks update archives, is here too.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include "archive/core/arerrors.h"
#include "archive/core/aritems.h"
#include "archive/core/arutils.h"
#include "archive/deflate/dfbase.h"  // EArAbortProgress, raised by engines and the model alike
#include "archive/core/spanstream.h"
#include "base/filestream.h"
#include "base/stream.h"

class TArArchive;

class TArKnownFolders;

enum TArProcessType : uint8_t {
  ptAdd = 0,
  ptDelete = 1,
  ptExtract = 2,
  ptFreshen = 3,
  ptMove = 4,
  ptReplace = 5,
  ptFoundUnhandled = 6,
};

enum TArStatus : uint8_t { asInvalid = 0, asIdle = 1, asBusy = 2 };

enum TArExtractOption : uint8_t { eoCreateDirs = 0x01, eoRestorePath = 0x02 };
using TArExtractOptions = uint8_t;  // a set of TArExtractOption bits
// AddOptions bits.
enum : uint8_t {
  aoStripDriveOrShare = 0x01,
  aoStripPath = 0x02,
  aoRemoveParentPrefixes = 0x04,
  aoSearchSubdirectories = 0x08,
  aoFreshenExisting = 0x10,
  aoReplaceExisting = 0x20,
};

using TArArchiveItemFailureEvent = std::function<void(
    TArArchive* sender, TArArchiveItem* item, TArProcessType processType, TArErrorClass errorClass, int32_t errorCode)>;
using TArArchiveProgressEvent = std::function<void(TArArchive* sender, uint8_t progress, bool& abort)>;
using TArArchiveItemProgressEvent =
    std::function<void(TArArchive* sender, TArArchiveItem* item, uint8_t progress, bool& abort)>;
using TArArchiveItemConfirmEvent =
    std::function<void(TArArchive* sender, TArArchiveItem* item, TArProcessType processType, bool& confirm)>;
using TArConfirmOverwriteEvent = std::function<void(std::string& name, bool& confirm)>;
using TArArchiveConfirmEvent = std::function<void(TArArchive* sender, bool& confirm)>;
using TArArchiveEvent = std::function<void(TArArchive* sender)>;

class TArArchive {
public:
  // Opens fileName (a complete path) through a span stream in mode; BaseDirectory
  // starts as the running program's folder.
  TArArchive(const std::string& fileName, uint16_t mode);
  // Frees the items, the stream (when owned) and the log; saves nothing.
  virtual ~TArArchive();
  TArArchive(const TArArchive&) = delete;
  TArArchive& operator=(const TArArchive&) = delete;

  // ---- the format's part ----
  virtual TArArchiveItem* NewItem(const std::string& fileName) = 0;
  virtual void UnpackItemToFile(int32_t index, const std::string& outputName) = 0;
  virtual void UnpackItemToStream(int32_t index, TStream& stream) = 0;
  virtual void ReadArchive() = 0;
  virtual void WriteArchive() = 0;
  virtual void VerifyItem(int32_t index) = 0;

  // ---- hooks, through overridable reporters ----
  // Progress values arrive as computed (engines can pass more than 100); the hooks
  // always see them clamped to 0..100.
  virtual void ReportItemFailure(TArArchiveItem* item, TArProcessType processType, TArErrorClass errorClass,
                                 int32_t errorCode);
  virtual void ReportSaveProgress(int32_t progress, bool& abort);
  virtual void ReportArchiveProgress(int32_t progress, bool& abort);
  virtual void ReportItemProgress(TArArchiveItem* item, int32_t progress, bool& abort);
  virtual void ConfirmItem(TArArchiveItem* item, TArProcessType processType, bool& confirm);
  virtual void ConfirmSaving(bool& confirm);
  virtual void NotifyLoaded();
  virtual void ReportCurrentItemProgress(int32_t progress, bool& abort);
  virtual void NotifySaved();
  virtual std::string NormalizeStoredName(const std::string& name);
  virtual int32_t GetSpanThreshold() const { return SpanThreshold; }
  virtual void SetSpanThreshold(int32_t value) { SpanThreshold = value; }

  // ---- operations ----
  // Queues item for adding. Hands the item back when it was not taken (refused, or it
  // only named an existing item to freshen or replace); empty when the archive took
  // it or it was a duplicate (reported and freed).
  virtual std::unique_ptr<TArArchiveItem> Add(std::unique_ptr<TArArchiveItem> item);
  virtual void Load();
  virtual void Move(TArArchiveItem* item, const std::string& newName);
  virtual void Save();
  // Engine progress; raises EArAbortProgress "Process aborted by user" on abort.
  virtual void ReportEngineProgress(int32_t progress);
  virtual void ReportInflateProgress(int32_t progress);
  // A span stream asks for another image; an archive type that cannot span refuses.
  virtual void RequestImage(void* sender, int32_t imageNumber, std::string& imageName, bool& abort);

  void CheckUsable() const;
  // Whether the archive still holds a stream over its file. One that lost it (a save that
  // found another file at the name, or none) cannot be loaded or saved again.
  virtual bool HoldsItsFile() const { return true; }
  int32_t Count() const { return Items ? Items->Count() : 0; }
  void EnterBusy();
  void LeaveBusy();
  void SavePendingFirst(TArArchiveItem* item);
  int32_t IndexOfName(const TArArchiveItem& item) const;
  void Freshen(const TArArchiveItem& item);
  void Replace(const TArArchiveItem& item);
  void FreshenAt(int32_t index);
  void ReplaceAt(int32_t index);
  void ResolveSourcePath(TArArchiveItem* item);
  bool SourceFileChanged(TArArchiveItem* item);
  // The file an add, freshen or replace reads: SourcePath, below BaseDirectory when relative.
  std::string SourceFileName(const TArArchiveItem& item) const;

  const std::string& BaseDirectory() const { return baseDirectory_; }
  // Drops a trailing "\" (not a drive root's); raises EArNoSuchDirectory for a folder
  // that does not exist and keeps the old value.
  void SetBaseDirectory(const std::string& value);
  const std::string& LogFile() const { return logFile_; }
  void SetLogFile(const std::string& name) { logFile_ = name; }
  bool Logging() const { return logging_; }
  // Raises EArException "Error creating Log File" when the log cannot be made.
  void SetLogging(bool value);
  // kind: 0 added .. 5 replaced, 6 logging, 7 unhandled entry.
  void WriteLogEntry(const std::string& name, int kind);

  // ---- extraction ----
  void ExtractByMasks(const std::string& fileMasks, const std::string& exclusionMasks = std::string());
  void ExtractItemAt(int32_t index, const std::string& newName = std::string());
  // Turns a stored name into the output path below baseDirectory and says whether the
  // item may be written. A name that would leave the folder or name a device raises
  // EArException.
  // knownFolders, when given, holds the folders found in place earlier in the same walk,
  // and the files it wrote: one of them that another entry would replace raises EFCreateError.
  static bool PrepareOutputPath(const std::string& baseDirectory, std::string& name, TArExtractOptions extractOptions,
                                const TArConfirmOverwriteEvent& onConfirmOverwrite,
                                TArKnownFolders* knownFolders = nullptr);
  // The folders the running ExtractByMasks walk has found in place; null outside one.
  TArKnownFolders* WalkFolders() const { return walkFolders_; }
  // Whether the part of storedName that extraction appends to the folder stays below
  // it: not rooted, no drive or share, no ":", no ".." component and no component that
  // Windows reads as a device.
  static bool IsConfinedName(const std::string& storedName, TArExtractOptions extractOptions);

  // ---- state ----
  TStream* Stream = nullptr;
  bool OwnsStream = true;
  uint8_t Status = asInvalid;
  std::string ArchiveName;
  bool AutoSave = false;
  TArArchiveItem* CurrentItem = nullptr;
  bool DOSMode = false;
  TArExtractOptions ExtractOptions = 0;
  TStream* SourceStream = nullptr;  // not owned
  bool IsDirty = false;
  int32_t SpanThreshold = 0;
  std::unique_ptr<TArArchiveList> Items;
  uint16_t Mode = 0;
  TArPadLock Lock;
  bool Spanned = false;
  uint8_t AddOptions = 0;
  std::string TempDirectory;
  // The file the archive was opened on, or the one its last save wrote: a save replaces
  // that file only. None for an archive without a file of its own.
  std::optional<os::FileIdentity> LoadedFile;

  TArArchiveItemFailureEvent OnProcessItemFailure;
  TArArchiveProgressEvent OnArchiveProgress;
  TArArchiveProgressEvent OnSaveProgress;
  TArArchiveItemProgressEvent OnArchiveItemProgress;
  TArArchiveItemConfirmEvent OnConfirmProcessItem;
  TArConfirmOverwriteEvent OnConfirmOverwrite;
  TArArchiveConfirmEvent OnBeforeSave;
  TArArchiveEvent OnLoad;
  TArProgressEvent OnEngineProgress;
  TArRequestImageEvent OnRequestImage;
  TArArchiveEvent OnAfterSave;

protected:
  // For a format whose files are reached through a library of their own: the same
  // archive without a stream.
  struct TNoStream {};
  TArArchive(const std::string& fileName, uint16_t mode, TNoStream);

private:
  std::string baseDirectory_;
  bool baseConverted_ = false;  // the code-page conversion of extraction has been applied
  std::string logFile_;
  bool logging_ = false;
  std::unique_ptr<TFileStream> LogStream;
  int32_t busyDepth_ = 0;
  TArKnownFolders* walkFolders_ = nullptr;  // the running walk's, which owns them
};

// Base of the tar and gzip stream helpers: one stream, not owned.
class TArArchiveStreamHelper {
public:
  // Raises Exception "nil stream" without a stream.
  explicit TArArchiveStreamHelper(TStream* stream);
  virtual ~TArArchiveStreamHelper() = default;

  virtual void UnpackCurrentItem(TStream& destination) = 0;
  virtual bool LocateFirstItem() = 0;
  virtual bool LocateNextItem() = 0;
  virtual void ReadLeadIn() = 0;
  virtual void ReadTrailer() = 0;
  virtual bool LocateItem(int32_t index) = 0;
  virtual void WriteLeadIn() = 0;
  virtual void PackItem(TStream& source) = 0;
  virtual void WriteTrailer() = 0;
  virtual int32_t CountItems() = 0;

protected:
  TStream* FStream;
};
