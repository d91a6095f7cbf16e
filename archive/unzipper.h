// The unzipper component: opens an archive file by its detected type, copies its own
// settings into the archive, routes the archive's notifications to its events (always
// with itself as the sender) and extracts by masks. The update client drives it with
// OpenArchiveFile, SetBaseDirectory, ExtractMatchingFiles("*.*") and CloseArchiveFile.
// The component only reads: closing or re-pointing it never writes the archive.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "archive/core/ararchive.h"
#include "archive/typedetect.h"
#include "archive/zip/ziparchive.h"

// A progress meter a program can link to the component.
class TArMeterLink : public TArBaseComponent {
public:
  virtual void ShowPercent(uint8_t percent) = 0;
  virtual void ResetMeter() = 0;
};

class TArBaseBrowser;
using TArNotifyEvent = std::function<void(TArBaseBrowser* sender)>;
using TArBrowserProgressEvent = std::function<void(TArBaseBrowser* sender, uint8_t progress, bool& abort)>;
using TArBrowserItemProgressEvent =
    std::function<void(TArBaseBrowser* sender, TArArchiveItem* item, uint8_t progress, bool& abort)>;
using TArBrowserItemConfirmEvent =
    std::function<void(TArBaseBrowser* sender, TArArchiveItem* item, TArProcessType processType, bool& confirm)>;
using TArBrowserItemFailureEvent =
    std::function<void(TArBaseBrowser* sender, TArArchiveItem* item, TArProcessType processType,
                       TArErrorClass errorClass, int32_t errorCode)>;
using TArNeedPasswordEvent = std::function<void(TArBaseBrowser* sender, std::string& newPassword)>;

class TArBaseBrowser : public TArBaseComponent {
public:
  TArBaseBrowser();
  ~TArBaseBrowser() override;

  // After the stored settings arrived.
  virtual void Loaded();
  // A linked meter is going away.
  virtual void Notification(TArBaseComponent* component, bool removing);

  TArArchive* Archive() const { return archive_.get(); }
  ArchiveTypeCode ArchiveType() const { return archiveType_; }

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& value) { AssignFileName(value); }
  const std::string& BaseDirectory() const { return baseDirectory_; }
  void SetBaseDirectory(const std::string& value);
  const std::string& LogFile() const { return logFile_; }
  void SetLogFile(const std::string& value);
  bool Logging() const { return logging_; }
  void SetLogging(bool value);
  const std::string& TempDirectory() const { return tempDirectory_; }
  void SetTempDirectory(const std::string& value);
  TArMeterLink* ItemProgressMeter = nullptr;
  TArMeterLink* ArchiveProgressMeter = nullptr;
  const TArRequestImageEvent& OnRequestImage() const { return onRequestImage_; }
  void SetOnRequestImage(const TArRequestImageEvent& handler);

  TArBrowserProgressEvent OnArchiveProgress;
  TArBrowserItemProgressEvent OnArchiveItemProgress;
  TArNotifyEvent OnChange;
  TArBrowserItemConfirmEvent OnConfirmProcessItem;
  TArNotifyEvent OnLoad;
  TArBrowserItemFailureEvent OnProcessItemFailure;

protected:
  virtual void ResetMeters();
  virtual void NotifyItemProgress(TArArchiveItem* item, uint8_t progress, bool& abort);
  virtual void NotifyArchiveProgress(uint8_t progress, bool& abort);
  virtual void NotifyChange();
  virtual void NotifyConfirmProcessItem(TArArchiveItem* item, TArProcessType processType, bool& confirm);
  virtual void NotifyLoad();
  virtual void NotifyProcessItemFailure(TArArchiveItem* item, TArProcessType processType, TArErrorClass errorClass,
                                        int32_t errorCode);
  virtual void ApplySettingsToArchive();
  virtual void AssignFileName(const std::string& value) = 0;
  // The base level alone, for archive types that take no zip settings.
  void ApplyBaseSettings();

  std::unique_ptr<TArArchive> archive_;
  int32_t spanThreshold_ = 0;
  ArchiveTypeCode archiveType_ = atUnknown;
  bool forceType_ = false;
  std::string fileName_;

private:
  std::string baseDirectory_;
  std::string logFile_;
  bool logging_ = false;
  std::string tempDirectory_;
  TArRequestImageEvent onRequestImage_;
};

class TArCustomZipBrowser : public TArBaseBrowser {
public:
  TArArchiveItem* GetItem(int32_t index) const;
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value);
  const TArRequestDiskEvent& OnRequestLastDisk() const { return onRequestLastDisk_; }
  void SetOnRequestLastDisk(const TArRequestDiskEvent& handler);
  const TArRequestNthDiskEvent& OnRequestNthDisk() const { return onRequestNthDisk_; }
  void SetOnRequestNthDisk(const TArRequestNthDiskEvent& handler);

protected:
  void ApplySettingsToArchive() override;
  void AssignFileName(const std::string& value) override;
  TArZipArchive* ZipArchive() const { return dynamic_cast<TArZipArchive*>(archive_.get()); }

  std::string password_;
  TArRequestDiskEvent onRequestLastDisk_;
  TArRequestNthDiskEvent onRequestNthDisk_;
  bool tarAutoHandle_ = false;
};

class TArCustomUnZipper : public TArCustomZipBrowser {
public:
  TArCustomUnZipper();

  TArExtractOptions ExtractOptions() const { return extractOptions_; }
  void SetExtractOptions(TArExtractOptions value);
  uint8_t PasswordRetries() const { return passwordRetries_; }
  void SetPasswordRetries(uint8_t value);

  void OpenArchiveFile(const std::string& name) { AssignFileName(name); }
  void CloseArchiveFile();
  // Extracts every item matching the ";"-separated masks into BaseDirectory.
  void ExtractMatchingFiles(const std::string& masks);
  // Items of the last ExtractMatchingFiles that failed (each also reported through
  // OnProcessItemFailure), so a caller can tell a complete extraction from a partial one.
  int32_t FailedItems() const { return failedItems_; }

  TArConfirmOverwriteEvent OnConfirmOverwrite;
  TArNeedPasswordEvent OnNeedPassword;

protected:
  void ApplySettingsToArchive() override;
  void NotifyProcessItemFailure(TArArchiveItem* item, TArProcessType processType, TArErrorClass errorClass,
                                int32_t errorCode) override;
  virtual void ConfirmOverwrite(std::string& name, bool& confirm);
  virtual void NeedPassword(std::string& newPassword);

private:
  TArExtractOptions extractOptions_ = eoCreateDirs;
  uint8_t passwordRetries_ = 3;
  int32_t failedItems_ = 0;
};

class TArUnZipper : public TArCustomUnZipper {};
