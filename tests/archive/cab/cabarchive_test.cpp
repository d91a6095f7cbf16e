// The cabinet archive where the cabinet library is not needed, and natively, where there
// is none: every use of the library then reports it missing, and a set is written through
// a stand-in for it.
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <optional>
#ifndef _WIN32
#include <sys/resource.h>
#endif
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

// ---- writing a set, through a stand-in for the library -------------------------------

// The library's writing half as the archive sees it: a scratch file that it makes at the
// start and erases by name at the end, and at the flush the pieces of a set, of the sizes
// given, each written in small writes and the next one named by the archive. A piece that
// fails is closed and deleted by its name, and the flush fails.
class TStandInLibrary {
public:
  explicit TStandInLibrary(std::vector<size_t> sizes) : sizes_(std::move(sizes)) {
    current_ = this;
    cab::TCabinetLibrary& l = cab::CabinetLibrary();
    l.FCICreate = &Create;
    l.FCIAddFile = &AddFile;
    l.FCIFlushCabinet = &Flush;
    l.FCIDestroy = &Destroy;
    l.Loaded = true;
  }
  ~TStandInLibrary() {
    cab::CabinetLibrary() = cab::TCabinetLibrary();
    current_ = nullptr;
  }

private:
  static cab::HFCI AR_CABCALL Create(cab::ERF*, cab::PFNFCIFILEPLACED, cab::PFNALLOC, cab::PFNFREE,
                                     cab::PFNFCIOPEN open, cab::PFNFCIREAD, cab::PFNFCIWRITE write,
                                     cab::PFNFCICLOSE close, cab::PFNFCISEEK, cab::PFNFCIDELETE erase,
                                     cab::PFNFCIGETTEMPFILE temp, cab::CCAB* ccab, void* pv) {
    TStandInLibrary& l = *current_;
    l.open_ = open, l.write_ = write, l.close_ = close, l.erase_ = erase, l.ccab_ = ccab, l.pv_ = pv;
    char name[256];
    int err = 0;
    if (!temp(name, sizeof name, pv)) return nullptr;
    l.scratch_ = name;
    const cab::INT_PTR hf = open(name, cab::kOpenCreate | 2, 0, &err, pv);
    if (hf <= 0) return nullptr;
    close(hf, &err, pv);
    return &l;
  }
  static cab::BOOL AR_CABCALL AddFile(cab::HFCI, char*, char*, cab::BOOL, cab::PFNFCIGETNEXTCABINET, cab::PFNFCISTATUS,
                                      cab::PFNFCIGETOPENINFO, uint16_t) {
    return 1;
  }
  static cab::BOOL AR_CABCALL Flush(cab::HFCI h, cab::BOOL, cab::PFNFCIGETNEXTCABINET next, cab::PFNFCISTATUS) {
    TStandInLibrary& l = *static_cast<TStandInLibrary*>(h);
    int err = 0;
    for (size_t i = 0; i < l.sizes_.size(); ++i) {
      l.ccab_->iCab = static_cast<int32_t>(i + 1);
      if (i > 0 && !next(l.ccab_, 0, l.pv_)) return 0;
      std::string name = std::string(l.ccab_->szCabPath) + l.ccab_->szCab;
      const cab::INT_PTR hf = l.open_(name.data(), cab::kOpenCreate | cab::kOpenTruncate | 2, 0, &err, l.pv_);
      if (hf <= 0) return 0;
      std::string chunk(4000, static_cast<char>('A' + i));
      for (size_t left = l.sizes_[i]; left > 0; left -= std::min(left, chunk.size())) {
        const auto n = static_cast<uint32_t>(std::min(left, chunk.size()));
        if (l.write_(hf, chunk.data(), n, &err, l.pv_) != n) {
          l.close_(hf, &err, l.pv_);
          l.erase_(name.data(), &err, l.pv_);
          return 0;
        }
      }
      l.close_(hf, &err, l.pv_);
    }
    return 1;
  }
  static cab::BOOL AR_CABCALL Destroy(cab::HFCI h) {
    TStandInLibrary& l = *static_cast<TStandInLibrary*>(h);
    int err = 0;
    l.erase_(l.scratch_.data(), &err, l.pv_);
    return 1;
  }

  static inline TStandInLibrary* current_ = nullptr;
  std::vector<size_t> sizes_;
  cab::PFNFCIOPEN open_ = nullptr;
  cab::PFNFCIWRITE write_ = nullptr;
  cab::PFNFCICLOSE close_ = nullptr;
  cab::PFNFCIDELETE erase_ = nullptr;
  cab::CCAB* ccab_ = nullptr;
  void* pv_ = nullptr;
  std::string scratch_;
};

// While it lives, a write that would make a file larger than limit bytes fails, as on a
// disk that has only that much room left for each file.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit r = old_;
    r.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &r);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
  }

private:
  rlimit old_{};
  void (*oldSignal_)(int) = nullptr;
};

// A new set written over an old one of six pieces replaces it only when every piece was
// written out; a piece that fails, while the library writes it or afterwards while it is
// written out, leaves each old piece as it was, and nothing of the new set or of the
// library's scratch files behind.
TEST(CabinetArchive, ASetThatFailsOnAFullDiskLeavesTheOldSetWhole) {
  using Strings = std::vector<std::string>;
  const Strings set = {"set.cab", "set.c01", "set.c02", "set.c03", "set.c04", "set.c05"};
  struct TCase {
    const char* Name;
    size_t Last;        // the size of the last new piece; the others have 20,000 bytes
    rlim_t Room;        // for each file; 0: no limit
    std::string Error;  // empty: the save succeeds
  };
  const std::vector<TCase> cases = {
      {"room enough", 40000, 0, ""},
      // More than a piece holds back: it is written while the library writes it, which
      // deletes the piece when that fails.
      {"a piece fails while written", 100000, 30000, ArMessage(53)},
      // Held back until the library is done, and written out only then.
      {"the last piece fails when written out", 40000, 30000, "Stream write error"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<size_t> sizes(set.size() - 1, 20000);
    sizes.push_back(c.Last);
    artest::TempFolder dir;
    for (const std::string& n : set) artest::WriteFile(dir / n, "old " + n);
    artest::WriteFile(dir / "a.txt", "data");
    os::MakeDirectory(dir / "tmp");
    {
      TStandInLibrary library(sizes);
      TArCabArchive a(dir / "set.cab", 1);
      a.TempDirectory = dir / "tmp";
      a.SetSpanThreshold(150000);
      a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(dir / "a.txt")));
      try {
        std::optional<TFileSizeLimit> room;
        if (c.Room) room.emplace(c.Room);
        a.Save();
        EXPECT_EQ(c.Error, "") << "the save succeeded";
      } catch (const std::exception& e) { EXPECT_EQ(e.what(), c.Error); }
    }
    Strings expected = set;
    expected.insert(expected.end(), {"a.txt", "tmp"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(artest::ListTree(dir.Path()), expected);
    for (size_t i = 0; i < set.size(); ++i) {
      const std::string now = os::FileExists(dir / set[i]) ? artest::ReadFile(dir / set[i]) : "(gone)";
      const std::string want = c.Error.empty() ? std::string(sizes[i], static_cast<char>('A' + i)) : "old " + set[i];
      EXPECT_TRUE(now == want) << set[i] << " holds " << now.size() << " bytes";
    }
  }
}
#endif

}  // namespace
