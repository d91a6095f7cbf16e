// The cabinet archive where the cabinet library is not needed, and natively, where there
// is none: every use of the library then reports it missing.
#include <gtest/gtest.h>
#include "archive/cab/cabarchive.h"
#include "archive/typedetect.h"
#include "archive/unzipper.h"
#include "tests/archive/artestutil.h"

namespace {

TEST(CabinetArchive, CreationTakesTheModeBitAndTheNameApartWithoutTouchingTheFile) {
  artest::TempFolder dir;
  TArCabArchive a(dir / "set.cab", 0xFFFF);
  EXPECT_TRUE(a.CreateMode());
  EXPECT_EQ(a.Mode, 1);
  EXPECT_EQ(a.Status, asIdle);
  EXPECT_EQ(a.Stream, nullptr);
  EXPECT_EQ(a.CabinetFileName, "set.cab");
  EXPECT_EQ(a.CabinetFolder, dir.Path() + "\\");
  EXPECT_EQ(a.BaseDirectory(), os::ProgramFolder());
  EXPECT_FALSE(os::FileExists(dir / "set.cab"));
  TArCabArchive r(dir / "set.cab", fmOpenRead | fmShareDenyNone);
  EXPECT_FALSE(r.CreateMode());

  // A threshold of 0 or less is no limit, which the cabinet parameters can only say
  // with the largest size.
  for (int32_t threshold : {0, -5, 70000}) {
    a.SetSpanThreshold(threshold);
    EXPECT_EQ(a.GetSpanThreshold(), threshold < 0 ? 0 : threshold);
    EXPECT_EQ(a.CabinetParameters.cb, threshold > 0 ? 70000u : 0x7FFFFFFFu);
  }
}

TEST(CabinetArchive, AddingToACabinetBeingReadIsReportedNotRaised) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.txt", "data");
  TArCabArchive r(dir / "x.cab", fmOpenRead | fmShareDenyNone);
  std::vector<std::pair<TArProcessType, TArErrorClass>> failures;
  r.OnProcessItemFailure = [&](TArArchive*, TArArchiveItem*, TArProcessType t, TArErrorClass c, int32_t code) {
    failures.emplace_back(t, c);
    EXPECT_EQ(code, 0);
  };
  auto item = std::unique_ptr<TArArchiveItem>(r.NewItem(dir / "a.txt"));
  TArArchiveItem* given = item.get();
  EXPECT_EQ(r.Add(std::move(item)).get(), given);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0], std::make_pair(ptAdd, ecCabError));
  EXPECT_EQ(r.Count(), 0);
  EXPECT_FALSE(os::FileExists(dir / "x.cab"));
}

#ifndef _WIN32
TEST(CabinetArchive, WithoutTheLibraryEveryUseOfItReportsItMissing) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.cab", "MSCF and whatever follows");
  artest::WriteFile(dir / "a.txt", "data");
  // Detection, twice: a failed load is tried again on the next use.
  for (int i = 0; i < 2; ++i) {
    try {
      DetectArchiveType(dir / "a.cab");
      ADD_FAILURE() << "detection answered without the library";
    } catch (const EArNoCabinetDll& e) {
      EXPECT_EQ(e.ErrorCode, 50);
      EXPECT_STREQ(e.what(), "Cannot load cabinet.dll");
    }
  }
  EXPECT_EQ(DetectArchiveType(dir / "missing.cab"), atCabinet);  // by name alone
  TArCabArchive r(dir / "a.cab", fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(r.Load(), EArNoCabinetDll);
  TArCabArchive w(dir / "new.cab", 1);
  EXPECT_THROW(w.Add(std::unique_ptr<TArArchiveItem>(w.NewItem(dir / "a.txt"))), EArNoCabinetDll);
  EXPECT_EQ(w.Count(), 0);
  TArUnZipper u;
  EXPECT_THROW(u.OpenArchiveFile(dir / "a.cab"), EArNoCabinetDll);
  EXPECT_EQ(artest::ListTree(dir.Path()), (std::vector<std::string>{"a.cab", "a.txt"}));
}
#endif

}  // namespace
