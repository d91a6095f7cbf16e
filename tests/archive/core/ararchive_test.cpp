// The archive model through a small test format: creation, loading, the queued
// changes and their hooks, Save rules, the busy state and the log.
#include <gtest/gtest.h>
#include "tests/archive/core/testformat.h"

namespace {

using artest::Failure;
using artest::TTestArchive;

class ArchiveModel : public ::testing::Test {
protected:
  std::unique_ptr<TTestArchive> Open(const std::vector<std::string>& lines) {
    auto a =
        std::make_unique<TTestArchive>(artest::MakeArchiveFile(folder.Path(), lines), fmOpenRead | fmShareDenyNone);
    a->Load();
    a->SetBaseDirectory(folder.Path());
    artest::RecordFailures(*a, failures);
    return a;
  }
  std::unique_ptr<artest::TTestItem> NewItem(TTestArchive& a, const std::string& name) {
    return std::unique_ptr<artest::TTestItem>(static_cast<artest::TTestItem*>(a.NewItem(name)));
  }
  artest::TempFolder folder;
  std::vector<Failure> failures;
};

TEST_F(ArchiveModel, CreationGivesAnIdleArchiveInTheProgramsFolder) {
  const std::string file = artest::MakeArchiveFile(folder.Path(), {});
  TTestArchive a(file, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(a.Status, asIdle);
  EXPECT_EQ(a.ArchiveName, file);
  EXPECT_EQ(a.BaseDirectory(), os::ProgramFolder());
  EXPECT_FALSE(a.IsDirty);
  EXPECT_FALSE(a.AutoSave);
  EXPECT_FALSE(a.Spanned);
  EXPECT_EQ(a.AddOptions, 0);
  EXPECT_EQ(a.ExtractOptions, 0);
  EXPECT_EQ(a.Count(), 0);
  EXPECT_NE(dynamic_cast<TArSpanStream*>(a.Stream), nullptr);
  try {
    TTestArchive relative("test.arc", fmOpenRead);
    ADD_FAILURE();
  } catch (const EArException& e) {
    EXPECT_STREQ(e.what(), "Full Path Required");
    EXPECT_EQ(e.ErrorCode, 0);
  }
}

TEST_F(ArchiveModel, LoadReadsTheItemsAndALoadFailureStillNotifiesAndLeavesItUnusable) {
  auto a = Open({"a.txt|1", "b.txt|22"});
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(a->Items->Get(1)->GetStoredName(), "b.txt");

  const std::string bad = folder / "bad.arc";
  artest::WriteFile(bad, "no separator");
  TTestArchive b(bad, fmOpenRead | fmShareDenyNone);
  int loaded = 0;
  b.OnLoad = [&](TArArchive*) { ++loaded; };
  EXPECT_THROW(b.Load(), EArZipInvalid);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(b.Status, asInvalid);
  EXPECT_EQ(b.Lock.Count(), 0);
  EXPECT_THROW(b.ExtractByMasks("*.*"), EArNoArchive);
}

TEST_F(ArchiveModel, UnusableArchiveRefusesWork) {
  auto a = Open({"a.txt|1"});
  a->Status = asInvalid;
  EXPECT_THROW(a->ExtractByMasks("*.*"), EArNoArchive);
  EXPECT_THROW(a->Add(NewItem(*a, "x.txt")), EArNoArchive);
  EXPECT_THROW(a->FreshenAt(0), EArNoArchive);
  a->IsDirty = true;
  a->Save();  // quietly nothing
  EXPECT_EQ(a->Writes, 0);
}

TEST_F(ArchiveModel, AddQueuesConfirmedItemsAndHandsBackRefusedOnes) {
  auto a = Open({"a.txt|1"});
  a->OnConfirmProcessItem = [](TArArchive*, TArArchiveItem* item, TArProcessType t, bool& confirm) {
    confirm = !(t == ptAdd && item->GetStoredName() == "no.txt");
  };
  auto back = a->Add(NewItem(*a, "no.txt"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(a->Count(), 1);
  EXPECT_FALSE(a->IsDirty);
  EXPECT_EQ(a->Add(NewItem(*a, "yes.txt")), nullptr);
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(a->Items->Get(1)->PendingAction, aaAdd);
  EXPECT_TRUE(a->IsDirty);
  EXPECT_EQ(a->Writes, 0);
  EXPECT_EQ(a->Status, asIdle);
}

TEST_F(ArchiveModel, AddOfAnActiveNameIsReportedAsDuplicateUnlessFreshenOrReplaceIsAsked) {
  auto a = Open({"a.txt|1"});
  EXPECT_EQ(a->Add(NewItem(*a, "A.TXT")), nullptr);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Type, ptAdd);
  EXPECT_EQ(failures[0].Class, ecArchiveError);
  EXPECT_EQ(failures[0].Code, 7);
  EXPECT_EQ(a->Count(), 1);

  a->AddOptions = aoReplaceExisting;
  auto back = a->Add(NewItem(*a, "a.txt"));
  EXPECT_NE(back, nullptr);  // it only named the existing item
  EXPECT_EQ(a->Count(), 1);
  EXPECT_EQ(a->Items->Get(0)->PendingAction, aaReplace);
  EXPECT_EQ(a->Items->Get(0)->SourcePath, folder / "a.txt");
}

TEST_F(ArchiveModel, AutoSaveWritesBeforeAddReturnsAndTheArchiveStaysBusyMeanwhile) {
  auto a = Open({});
  a->AutoSave = true;
  std::vector<uint8_t> statusAtSave;
  a->OnBeforeSave = [&](TArArchive* s, bool&) { statusAtSave.push_back(s->Status); };
  int saved = 0;
  a->OnAfterSave = [&](TArArchive*) { ++saved; };
  a->Add(NewItem(*a, "n.txt"));
  EXPECT_EQ(a->Writes, 1);
  EXPECT_EQ(saved, 1);
  EXPECT_FALSE(a->IsDirty);
  EXPECT_EQ(a->Items->Get(0)->PendingAction, aaNone);
  EXPECT_EQ(statusAtSave, std::vector<uint8_t>{asBusy});
  EXPECT_EQ(a->Status, asIdle);
  EXPECT_EQ(a->Lock.Count(), 0);
}

TEST_F(ArchiveModel, SaveWritesOnlyWhenDirtyOrEmptyAndARefusalKeepsItDirty) {
  auto a = Open({"a.txt|1"});
  a->Save();
  EXPECT_EQ(a->Writes, 0);
  a->IsDirty = true;
  a->OnBeforeSave = [](TArArchive*, bool& confirm) { confirm = false; };
  a->Save();
  EXPECT_EQ(a->Writes, 0);
  EXPECT_TRUE(a->IsDirty);
  a->OnBeforeSave = nullptr;
  a->Save();
  EXPECT_EQ(a->Writes, 1);
  EXPECT_FALSE(a->IsDirty);

  auto e = Open({});
  e->Save();  // an empty archive is always written
  EXPECT_EQ(e->Writes, 1);
}

TEST_F(ArchiveModel, MoveOntoAnActiveNameIsADuplicateIncludingItsOwnName) {
  auto a = Open({"a.txt|1", "b.txt|2"});
  TArArchiveItem* item = a->Items->Get(0);
  a->Move(item, "a.txt");
  a->Move(item, "B.TXT");
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].Type, ptMove);
  EXPECT_EQ(failures[0].Code, 7);
  EXPECT_EQ(item->GetStoredName(), "a.txt");
  EXPECT_FALSE(a->IsDirty);

  a->Move(item, "\\c.txt");  // normalized: the leading "\" goes
  EXPECT_EQ(item->GetStoredName(), "c.txt");
  EXPECT_EQ(item->PendingAction, aaMove);
  EXPECT_EQ(a->Items->Find("c.txt"), 0);
  EXPECT_EQ(a->Items->Find("a.txt"), -1);
  EXPECT_TRUE(a->IsDirty);
}

TEST_F(ArchiveModel, FreshenQueuesOnlyWhenTheSourceDateDiffers) {
  auto a = Open({"s.txt|old"});
  artest::WriteFile(folder / "s.txt", "new");
  uint32_t dt;
  {
    TFileStream f(folder / "s.txt", fmOpenRead | fmShareDenyNone);
    dt = os::FileDosDateTime(f.Handle());
  }
  TArArchiveItem* item = a->Items->Get(0);
  item->SetModDate(static_cast<uint16_t>(dt >> 16));
  item->SetModTime(static_cast<uint16_t>(dt));
  int asked = 0;
  a->OnConfirmProcessItem = [&](TArArchive*, TArArchiveItem*, TArProcessType, bool&) { ++asked; };
  a->FreshenAt(0);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(item->PendingAction, aaNone);
  item->SetModTime(static_cast<uint16_t>(dt + 1));
  a->FreshenAt(0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(item->PendingAction, aaFreshen);
  EXPECT_TRUE(a->IsDirty);
  EXPECT_EQ(item->SourcePath, folder / "s.txt");
}

TEST_F(ArchiveModel, FreshenOfAMissingSourceIsReportedWithTheOpenErrorClass) {
  auto a = Open({"gone.txt|x"});
  a->FreshenAt(0);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Type, ptFreshen);
  EXPECT_EQ(failures[0].Class, ecFileOpenError);
  EXPECT_EQ(failures[0].Code, 0);
  EXPECT_EQ(a->Items->Get(0)->PendingAction, aaNone);
}

TEST_F(ArchiveModel, SourcesAreFoundInSubfoldersByBareName) {
  auto a = Open({"deep.txt|x"});
  CreateDirectoryPath(folder / "one\\two");
  artest::WriteFile(folder / "one\\two\\deep.txt", "x");
  a->AddOptions = aoSearchSubdirectories;
  a->ResolveSourcePath(a->Items->Get(0));
  EXPECT_EQ(a->Items->Get(0)->SourcePath, folder / "one\\two\\deep.txt");
  a->AddOptions = 0;
  a->ResolveSourcePath(a->Items->Get(0));
  EXPECT_EQ(a->Items->Get(0)->SourcePath, folder / "deep.txt");
}

TEST_F(ArchiveModel, NormalizeStoredNameAppliesTheAddOptionsInOrder) {
  auto a = Open({});
  EXPECT_EQ(a->NormalizeStoredName("\\x\\y.txt"), "x\\y.txt");
  EXPECT_EQ(a->NormalizeStoredName("C:\\x\\y.txt"), "C:\\x\\y.txt");
  a->AddOptions = aoStripDriveOrShare;
  EXPECT_EQ(a->NormalizeStoredName("C:\\x\\y.txt"), "x\\y.txt");
  EXPECT_EQ(a->NormalizeStoredName("\\\\srv\\sh\\x\\y.txt"), "x\\y.txt");
  a->AddOptions = aoStripPath;
  EXPECT_EQ(a->NormalizeStoredName("C:\\x\\y.txt"), "y.txt");
  a->AddOptions = aoRemoveParentPrefixes;
  EXPECT_EQ(a->NormalizeStoredName("..\\..\\y.txt"), "y.txt");
  a->AddOptions = 0;
  a->DOSMode = true;
  artest::WriteFile(folder / "short.txt", "");
  EXPECT_EQ(ExtractFileName(a->NormalizeStoredName("short.txt")), "short.txt");
  EXPECT_THROW(a->NormalizeStoredName("missing.txt"), EArFileNotFound);
}

TEST_F(ArchiveModel, BaseDirectoryDropsATrailingBackslashAndRefusesMissingFolders) {
  auto a = Open({});
  a->SetBaseDirectory(folder.Path() + "\\");
  EXPECT_EQ(a->BaseDirectory(), folder.Path());
  EXPECT_THROW(a->SetBaseDirectory(folder / "missing"), EArNoSuchDirectory);
  EXPECT_EQ(a->BaseDirectory(), folder.Path());
  a->SetBaseDirectory("");
  EXPECT_EQ(a->BaseDirectory(), "");
}

TEST_F(ArchiveModel, EngineProgressIsClampedAndAnAbortRaisesAbortProgress) {
  auto a = Open({"a.txt|1"});
  std::vector<int> seen;
  a->CurrentItem = a->Items->Get(0);
  a->OnArchiveItemProgress = [&](TArArchive*, TArArchiveItem* item, uint8_t p, bool& abort) {
    EXPECT_EQ(item, a->Items->Get(0));
    seen.push_back(p);
    abort = p == 42;
  };
  a->ReportEngineProgress(1638);
  a->ReportEngineProgress(-5);
  bool abort = true;
  a->OnEngineProgress(7, abort);
  EXPECT_FALSE(abort);
  EXPECT_EQ(seen, (std::vector<int>{100, 0, 7}));
  try {
    a->ReportInflateProgress(42);
    ADD_FAILURE();
  } catch (const EArAbortProgress& e) { EXPECT_STREQ(e.what(), "Process aborted by user"); }
}

TEST_F(ArchiveModel, AnImageRequestIsRefusedAndAHelperNeedsAStream) {
  auto a = Open({});
  std::string name;
  bool abort = false;
  EXPECT_THROW(a->RequestImage(a.get(), 1, name, abort), EArSpanningNotSupported);
  struct Helper : TArArchiveStreamHelper {
    using TArArchiveStreamHelper::TArArchiveStreamHelper;
    void UnpackCurrentItem(TStream&) override {}
    bool LocateFirstItem() override { return false; }
    bool LocateNextItem() override { return false; }
    void ReadLeadIn() override {}
    void ReadTrailer() override {}
    bool LocateItem(int32_t) override { return false; }
    void WriteLeadIn() override {}
    void PackItem(TStream&) override {}
    void WriteTrailer() override {}
    int32_t CountItems() override { return 0; }
  };
  try {
    Helper h(nullptr);
    ADD_FAILURE();
  } catch (const Exception& e) { EXPECT_STREQ(e.what(), "nil stream"); }
  TMemoryStream m;
  EXPECT_NO_THROW(Helper{&m});
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

TEST_F(ArchiveModel, LoggingWritesAFirstLineAndOneLinePerConfirmedOperation) {
  auto a = Open({"a.txt|1"});
  a->SetLogFile(folder / "log.txt");
  a->SetLogging(true);
  a->OnConfirmProcessItem = [](TArArchive*, TArArchiveItem* item, TArProcessType, bool& confirm) {
    confirm = item->GetStoredName() != "refused.txt";
  };
  a->Add(NewItem(*a, "refused.txt"));
  a->Add(NewItem(*a, "added.txt"));
  a->Move(a->Items->Get(0), "moved.txt");
  a->ExtractItemAt(0);
  a->WriteLogEntry(std::string(400, 'n'), 2);
  a->SetLogging(false);
  const auto lines = Lines(artest::ReadFile(folder / "log.txt"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind(a->ArchiveName + " logging ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("added.txt added ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("a.txt moved ", 0), 0u) << lines[2];  // confirmed before the rename
  EXPECT_EQ(lines[3].rfind("moved.txt extracted ", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4].size(), 253u);
  EXPECT_GT(lines[0].size(), (a->ArchiveName + " logging ").size());  // the date and time follow
}

TEST_F(ArchiveModel, LoggingWithoutAFileNameConfirmsAndWritesNothing) {
  auto a = Open({"a.txt|1"});
  a->SetLogging(true);
  bool confirm = false;
  a->ConfirmItem(a->Items->Get(0), ptExtract, confirm);
  EXPECT_TRUE(confirm);
  EXPECT_TRUE(a->Logging());
  a->SetLogFile(folder / "missing\\log.txt");
  try {
    a->SetLogging(true);
    ADD_FAILURE();
  } catch (const EArException& e) {
    EXPECT_STREQ(e.what(), "Error creating Log File");
    EXPECT_EQ(e.ErrorCode, 0);
  }
}

}  // namespace
