#include "archive/unzipper.h"
#include "archive/gzip/gziparchive.h"
#include "archive/tar/tararchive.h"
#include "archive/zip/zipextract.h"
#include "base/filestream.h"
#include "base/os.h"

// ---- base browser -------------------------------------------------------------------

TArBaseBrowser::TArBaseBrowser() = default;

// The archive goes without a save: this component only reads archives.
TArBaseBrowser::~TArBaseBrowser() = default;

void TArBaseBrowser::Loaded() { NotifyChange(); }

void TArBaseBrowser::Notification(TArBaseComponent* component, bool removing) {
  if (!removing) return;
  if (component == ItemProgressMeter)
    ItemProgressMeter = nullptr;
  else if (component == ArchiveProgressMeter)
    ArchiveProgressMeter = nullptr;
}

void TArBaseBrowser::SetBaseDirectory(const std::string& value) {
  if (archive_) {
    archive_->SetBaseDirectory(value);
    baseDirectory_ = archive_->BaseDirectory();
  } else {
    baseDirectory_ = value;
  }
}

void TArBaseBrowser::SetLogFile(const std::string& value) {
  logFile_ = value;
  if (archive_) archive_->SetLogFile(value);
  SetLogging(!value.empty());
}

void TArBaseBrowser::SetLogging(bool value) {
  logging_ = value;
  if (archive_) archive_->SetLogging(value);
}

void TArBaseBrowser::SetTempDirectory(const std::string& value) {
  tempDirectory_ = value;
  if (archive_) archive_->TempDirectory = value;
}

void TArBaseBrowser::SetOnRequestImage(const TArRequestImageEvent& handler) {
  onRequestImage_ = handler;
  if (archive_) archive_->OnRequestImage = handler;
}

void TArBaseBrowser::ResetMeters() {
  if (ArchiveProgressMeter) ArchiveProgressMeter->ResetMeter();
  if (ItemProgressMeter) ItemProgressMeter->ResetMeter();
}

void TArBaseBrowser::NotifyItemProgress(TArArchiveItem* item, uint8_t progress, bool& abort) {
  abort = false;
  if (ItemProgressMeter) ItemProgressMeter->ShowPercent(progress);
  if (OnArchiveItemProgress) OnArchiveItemProgress(this, item, progress, abort);
}

void TArBaseBrowser::NotifyArchiveProgress(uint8_t progress, bool& abort) {
  abort = false;
  if (ArchiveProgressMeter) ArchiveProgressMeter->ShowPercent(progress);
  if (OnArchiveProgress) OnArchiveProgress(this, progress, abort);
}

void TArBaseBrowser::NotifyChange() {
  if (OnChange) OnChange(this);
}

void TArBaseBrowser::NotifyConfirmProcessItem(TArArchiveItem* item, TArProcessType processType, bool& confirm) {
  confirm = true;
  if (ItemProgressMeter) ItemProgressMeter->ResetMeter();
  if (OnConfirmProcessItem) OnConfirmProcessItem(this, item, processType, confirm);
}

void TArBaseBrowser::NotifyLoad() {
  if (OnLoad) OnLoad(this);
}

void TArBaseBrowser::NotifyProcessItemFailure(TArArchiveItem* item, TArProcessType processType,
                                              TArErrorClass errorClass, int32_t errorCode) {
  if (OnProcessItemFailure) OnProcessItemFailure(this, item, processType, errorClass, errorCode);
}

void TArBaseBrowser::ApplyBaseSettings() { TArBaseBrowser::ApplySettingsToArchive(); }

void TArBaseBrowser::ApplySettingsToArchive() {
  ResetMeters();
  if (!archive_) return;
  archive_->SetSpanThreshold(spanThreshold_);
  archive_->SetLogFile(logFile_);
  archive_->SetLogging(logging_);
  archive_->TempDirectory = tempDirectory_;
  SetBaseDirectory(baseDirectory_);
  archive_->OnArchiveProgress = [this](TArArchive*, uint8_t p, bool& abort) { NotifyArchiveProgress(p, abort); };
  archive_->OnArchiveItemProgress = [this](TArArchive*, TArArchiveItem* item, uint8_t p, bool& abort) {
    NotifyItemProgress(item, p, abort);
  };
  archive_->OnConfirmProcessItem = [this](TArArchive*, TArArchiveItem* item, TArProcessType t, bool& confirm) {
    NotifyConfirmProcessItem(item, t, confirm);
  };
  archive_->OnLoad = [this](TArArchive*) { NotifyLoad(); };
  archive_->OnProcessItemFailure = [this](TArArchive*, TArArchiveItem* item, TArProcessType t, TArErrorClass c,
                                          int32_t code) { NotifyProcessItemFailure(item, t, c, code); };
  archive_->OnRequestImage = onRequestImage_;
}

// ---- zip browser --------------------------------------------------------------------

TArArchiveItem* TArCustomZipBrowser::GetItem(int32_t index) const {
  if (!archive_) throw EArNoArchive();
  return archive_->Items->Get(index);
}

// Only a zip archive takes these; for another type the value is kept for the next one.
void TArCustomZipBrowser::SetPassword(const std::string& value) {
  password_ = value;
  if (auto* zip = ZipArchive()) zip->Password = value;
}

void TArCustomZipBrowser::SetOnRequestLastDisk(const TArRequestDiskEvent& handler) {
  onRequestLastDisk_ = handler;
  if (auto* zip = ZipArchive()) zip->OnRequestLastDisk = handler;
}

void TArCustomZipBrowser::SetOnRequestNthDisk(const TArRequestNthDiskEvent& handler) {
  onRequestNthDisk_ = handler;
  if (auto* zip = ZipArchive()) zip->OnRequestNthDisk = handler;
}

void TArCustomZipBrowser::ApplySettingsToArchive() {
  TArBaseBrowser::ApplySettingsToArchive();
  if (auto* zip = ZipArchive()) {
    zip->Password = password_;
    zip->OnRequestLastDisk = onRequestLastDisk_;
    zip->OnRequestNthDisk = onRequestNthDisk_;
  }
}

// The previous archive is let go without a save: a component that only reads must not
// rewrite a file it could not even load completely.
void TArCustomZipBrowser::AssignFileName(const std::string& value) {
  fileName_ = value;
  archive_.reset();
  if (!fileName_.empty() && os::FileExists(fileName_) && !os::DirectoryExists(fileName_)) {
    const ArchiveTypeCode type = forceType_ ? archiveType_ : DetectArchiveType(fileName_);
    switch (type) {
      case atZip:
      case atSpannedZip:
      case atSelfExtractingZip:
        archive_ = std::make_unique<TArZipArchive>(fileName_, fmOpenRead | fmShareDenyNone);
        ApplySettingsToArchive();
        break;
      case atTar:
        archive_ = std::make_unique<TArTarArchive>(fileName_, fmOpenRead | fmShareDenyNone);
        ApplyBaseSettings();
        break;
      case atGzip:
      case atGzippedTar: {
        auto gzip = std::make_unique<TArGzipArchive>(fileName_, fmOpenRead | fmShareDenyNone);
        gzip->SetAutoUnpackTar(tarAutoHandle_);
        gzip->HoldsTar = type == atGzippedTar;
        archive_ = std::move(gzip);
        ApplyBaseSettings();
        break;
      }
      default:
        // Cabinet files are recognised but never opened by this component.
        throw EArUnhandledType();
    }
    archive_->Load();
    archiveType_ = type;
  }
  NotifyChange();
}

// ---- unzipper -----------------------------------------------------------------------

TArCustomUnZipper::TArCustomUnZipper() {
  SetExtractOptions(eoCreateDirs);
  SetPasswordRetries(3);
}

void TArCustomUnZipper::SetExtractOptions(TArExtractOptions value) {
  extractOptions_ = value;
  if (archive_) archive_->ExtractOptions = value;
}

void TArCustomUnZipper::SetPasswordRetries(uint8_t value) {
  passwordRetries_ = value;
  if (auto* zip = ZipArchive()) zip->PasswordRetries = value;
}

void TArCustomUnZipper::CloseArchiveFile() {
  if (!fileName_.empty()) AssignFileName(std::string());
}

void TArCustomUnZipper::ExtractMatchingFiles(const std::string& masks) {
  if (!archive_) throw EArNoArchive();
  failedItems_ = 0;
  archive_->ExtractByMasks(masks);
}

void TArCustomUnZipper::NotifyProcessItemFailure(TArArchiveItem* item, TArProcessType processType,
                                                 TArErrorClass errorClass, int32_t errorCode) {
  if (processType == ptExtract) ++failedItems_;
  TArCustomZipBrowser::NotifyProcessItemFailure(item, processType, errorClass, errorCode);
}

void TArCustomUnZipper::ConfirmOverwrite(std::string& name, bool& confirm) {
  confirm = true;
  if (OnConfirmOverwrite) OnConfirmOverwrite(name, confirm);
}

void TArCustomUnZipper::NeedPassword(std::string& newPassword) {
  if (!OnNeedPassword) return;
  OnNeedPassword(this, newPassword);
  SetPassword(newPassword);
}

void TArCustomUnZipper::ApplySettingsToArchive() {
  TArCustomZipBrowser::ApplySettingsToArchive();
  if (!archive_) return;
  archive_->ExtractOptions = extractOptions_;
  archive_->OnConfirmOverwrite = [this](std::string& name, bool& confirm) { ConfirmOverwrite(name, confirm); };
  if (auto* zip = ZipArchive()) {
    zip->PasswordRetries = passwordRetries_;
    zip->OnNeedPassword = [this](void*, std::string& pw) { NeedPassword(pw); };
    zip->OnTest = [](TArZipArchive& a, TArZipItem& item) { TestItem(a, item); };
    zip->OnExtractToFile = [](TArZipArchive& a, TArZipItem& item, const std::string& name) {
      ExtractItemToFile(a, item, name);
    };
    zip->OnExtractToStream = [](TArZipArchive& a, TArZipItem& item, TStream* s) { ExtractItemToStream(a, item, s); };
  }
}
