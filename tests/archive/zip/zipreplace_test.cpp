// A plain save replaces the archive's file: what the new file keeps of the old one (the
// bytes in front of the zip data, mode, owner and group, the symbolic link that named it),
// where its temporary file goes, and saves that fail or are refused, which leave the old
// archive, its folder and the archive object as they were.
#include <gtest/gtest.h>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include "archive/gzip/gziparchive.h"
#include "archive/zip/zipextract.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/gzip/gzipbuild.h"
#include "tests/archive/tar/tarbuild.h"
#include "tests/archive/zip/insert_hook.h"
#include "tests/archive/zip/zipbuilder.h"
#ifndef _WIN32
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

namespace {

std::string Str(const TBytes& b) { return std::string(b.begin(), b.end()); }

std::string ExtractedText(TArZipArchive& a, int32_t index) {
  TMemoryStream m;
  ExtractItemToStream(a, *a.ZipItem(index), &m);
  return std::string(m.Bytes().begin(), m.Bytes().end());
}

// Loads name, deletes its first item and saves.
void DeleteFirstItem(const std::string& name, std::function<void(TArZipArchive&)> arrange = nullptr) {
  TArZipArchive a(name, fmOpenRead | fmShareDenyNone);
  a.Load();
  a.ZipItem(0)->PendingAction = aaDelete;
  a.IsDirty = true;
  if (arrange) arrange(a);
  a.Save();
}

// Three stored items whose text tells their index.
TZipBuilder ThreeItems() {
  TZipBuilder z;
  for (int i = 0; i < 3; ++i) z.AddStored("f" + std::to_string(i) + ".txt", std::string(100 + i, char('a' + i)));
  return z;
}

#ifndef _WIN32
struct TUser {
  uid_t Uid;
  gid_t Gid;
};

TUser Nobody() {
  const passwd* p = ::getpwnam("nobody");
  return p ? TUser{p->pw_uid, p->pw_gid} : TUser{65534, 65534};
}

// The process acts as nobody for the kernel's permission checks until destroyed; only root
// can do so, and come back.
class TActingAsNobody {
public:
  TActingAsNobody() {
    const TUser u = Nobody();
    EXPECT_EQ(::setegid(u.Gid), 0);
    EXPECT_EQ(::seteuid(u.Uid), 0);
  }
  ~TActingAsNobody() {
    EXPECT_EQ(::seteuid(0), 0);
    EXPECT_EQ(::setegid(0), 0);
  }
};

// A write error of the platform: the process may not write files beyond limit bytes.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit l = old_;
    l.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &l);
  }
  ~TFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
  rlimit old_{};
};

std::string Native(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

struct stat StatOf(const std::string& name) {
  struct stat st {};
  EXPECT_EQ(::lstat(Native(name).c_str(), &st), 0) << name;
  return st;
}

// The program in file runs until destroyed (a copy of sleep, with whatever follows it).
class TRunning {
public:
  explicit TRunning(const std::string& file) {
    EXPECT_EQ(::chmod(Native(file).c_str(), 0755), 0);
    const std::string path = Native(file);
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("60"), nullptr};
    EXPECT_EQ(::posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ), 0);
  }
  ~TRunning() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

private:
  pid_t pid_ = 0;
};
#endif

}  // namespace

// A self-extracting archive's program, and whatever else a tool put there. A program that
// runs may not be opened for writing, but the rename replaces it all the same.
TEST(SavedArchives, KeepWhateverPrecedesTheFirstLocalHeader) {
  struct TStub {
    const char* What;
    std::string Bytes;
    bool Running = false;
  };
  std::vector<TStub> stubs = {
      {"a DOS program", "MZ" + std::string(300, '\x90')},
      {"another executable format", std::string("\177ELF\2\1\1") + std::string(500, '\0')},
      {"a script", "#!/bin/sh\nexec unzip -o \"$0\"\n"},
      {"nothing", ""},
  };
#ifndef _WIN32
  stubs.push_back({"a program running while it is saved", artest::ReadFile("/bin/sleep"), true});
#endif
  for (const auto& [what, stub, running] : stubs) {
    SCOPED_TRACE(what);
    artest::TempFolder dir;
    const std::string name = dir / "sfx.bin";
    TZipBuilder z = ThreeItems();
    z.Stub = ToBytes(stub);
    artest::WriteFile(name, Str(z.Build()));
#ifndef _WIN32
    std::shared_ptr<TRunning> program;
    if (running) program = std::make_shared<TRunning>(name);
#endif
    DeleteFirstItem(name);  // the item right behind the stub

    const std::string saved = artest::ReadFile(name);
    EXPECT_EQ(saved.compare(0, stub.size() + 4, stub + "PK\3\4"), 0) << "the stub is lost";
    TArZipArchive back(name, fmOpenRead | fmShareDenyNone);
    back.Load();
    ASSERT_EQ(back.Count(), 2);
    for (int32_t i = 0; i < 2; ++i) EXPECT_EQ(ExtractedText(back, i), std::string(101 + i, char('b' + i)));
  }
}

// The temporary file, which becomes the archive, lies beside it: a rename elsewhere could
// cross file systems.
TEST(SavedArchives, WriteTheirNewFileBesideThemForEitherSeparator) {
  artest::TempFolder dir;
  std::string name = dir / "a.zip";
  for (char& c : name)
    if (c == '\\') c = '/';
  artest::WriteFile(name, Str(ThreeItems().Build()));
  std::vector<std::string> during;
  DeleteFirstItem(name, [&](TArZipArchive& a) {
    a.OnSaveProgress = [&](TArArchive*, uint8_t, bool&) {
      if (during.empty()) during = artest::ListTree(dir.Path());
    };
  });
  EXPECT_EQ(during.size(), 2u);
  EXPECT_EQ(artest::ListTree(dir.Path()), std::vector<std::string>{"a.zip"});
  TArZipArchive back(name, fmOpenRead | fmShareDenyNone);
  back.Load();
  EXPECT_EQ(back.Count(), 2);
}

#ifndef _WIN32
// Until it is written, the new file is its owner's alone, as are the swap files of the save
// (they hold the same data); then it takes the old file's mode, owner and group. Where the
// group cannot be kept, the group's rights do not go to another group.
TEST(SavedArchives, TakeTheOldFilesModeOwnerAndGroupOnceWritten) {
  struct TCase {
    const char* What;
    mode_t Mode;
    bool Nobodys = false;  // the archive is nobody's (root only)
    gid_t Group = 0;       // the archive's group when not its owner's (root only)
    bool SavedByNobody = false;
    mode_t Saved = 0;  // the saved archive's mode, when not Mode
  };
  const bool root = ::geteuid() == 0;
  if (!root) std::cout << "Not root: the owner and group of another user are left untried\n";
  const TUser nobody = Nobody();
  const gid_t otherGroup = nobody.Gid == 4242 ? 4243 : 4242;
  artest::TempFolder sources;
  artest::WriteFile(sources / "big.bin", std::string(300000, 'x'));  // more than the staging keeps in memory
  for (const TCase& c :
       {TCase{"mine, for me only", 0600}, TCase{"mine, for everyone", 0755},
        TCase{"nobody's, saved by root", 0640, true},
        TCase{"nobody's, of a group nobody is not in, saved by nobody", 0640, true, otherGroup, true, 0600}}) {
    if (c.Nobodys && !root) continue;
    SCOPED_TRACE(c.What);
    artest::TempFolder dir, swap;
    const std::string name = dir / "a.zip";
    artest::WriteFile(name, Str(ThreeItems().Build()));
    const TUser owner = c.Nobodys ? nobody : TUser{::geteuid(), ::getegid()};
    const gid_t group = c.Group ? c.Group : owner.Gid;
    ASSERT_EQ(::chown(Native(name).c_str(), owner.Uid, group), 0);
    ASSERT_EQ(::chmod(Native(name).c_str(), c.Mode), 0);
    for (const std::string& folder : {dir.Path(), swap.Path()}) ASSERT_EQ(::chmod(Native(folder).c_str(), 0777), 0);
    std::vector<std::string> during, swapped;
    std::shared_ptr<TActingAsNobody> saver;
    DeleteFirstItem(name, [&](TArZipArchive& a) {
      a.TempDirectory = swap.Path();
      InstallInsertHooks(a, [](const TArZipItem&) {
        TInsertSettings stored;
        stored.Method = 0;
        return stored;
      });
      a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(sources / "big.bin")));
      a.OnSaveProgress = [&](TArArchive*, uint8_t, bool&) {
        if (!during.empty()) return;
        during = artest::ListTree(dir.Path());
        swapped = artest::ListTree(swap.Path());
        for (const std::string& f : during)
          if (f != "a.zip") { EXPECT_EQ(StatOf(dir / f).st_mode & 077, 0u) << f; }
        for (const std::string& f : swapped) EXPECT_EQ(StatOf(swap / f).st_mode & 077, 0u) << f;
      };
      if (c.SavedByNobody) saver = std::make_shared<TActingAsNobody>();
    });
    saver.reset();
    EXPECT_EQ(during.size(), 2u);
    EXPECT_FALSE(swapped.empty()) << "nothing was swapped out";
    const struct stat st = StatOf(name);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, c.Saved ? c.Saved : c.Mode);
    EXPECT_EQ(st.st_uid, owner.Uid);
    EXPECT_EQ(st.st_gid, c.SavedByNobody ? nobody.Gid : group);
  }
}

TEST(SavedArchives, ThroughASymbolicLinkReplaceTheFileItNames) {
  artest::TempFolder dir;
  os::MakeDirectory(dir / "real");
  os::MakeDirectory(dir / "links");
  artest::WriteFile(dir / "real\\a.zip", Str(ThreeItems().Build()));
  const std::string link = dir / "links\\a.zip";
  ASSERT_EQ(::symlink("../real/a.zip", Native(link).c_str()), 0);
  const auto before = artest::ListTree(dir.Path());

  DeleteFirstItem(link);
  EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
  EXPECT_EQ(artest::ListTree(dir.Path()), before);
  TArZipArchive back(dir / "real\\a.zip", fmOpenRead | fmShareDenyNone);
  back.Load();
  EXPECT_EQ(back.Count(), 2);
}

namespace {

// What every entry below folder holds: a file its size and CRC, a link the name it holds.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> held;
  for (const std::string& f : artest::ListTree(folder)) {
    const std::string path = folder + "\\" + f;
    const struct stat st = StatOf(path);
    char target[512];
    if (S_ISLNK(st.st_mode)) {
      held[f] = "-> " + std::string(target, std::max<ssize_t>(::readlink(Native(path).c_str(), target, 512), 0));
    } else if (S_ISREG(st.st_mode)) {
      const std::string bytes = artest::ReadFile(path);
      uint32_t crc = 0xFFFFFFFF;
      UpdateCrc32Buffer(crc, bytes.data(), bytes.size());
      held[f] = std::to_string(bytes.size()) + " bytes, CRC " + std::to_string(~crc);
    }
  }
  return held;
}

}  // namespace

// An archive is loaded through a link; before its save replaces a file, what the name
// leads to changes. Whatever is there now (if anything) is not what was read: the save is
// refused and writes nothing.
TEST(FailedSaves, ReplaceNoFileButTheOneLoaded) {
  struct TFormat {
    const char* What;
    const char* Extension;
    std::string Bytes;
    std::function<std::unique_ptr<TArArchive>(const std::string& name)> Open;
    bool ReportsWriting;  // save progress comes while a new file is written beside the old one
  };
  const TFormat formats[] = {
      {"zip", "zip", Str(ThreeItems().Build()),
       [](const std::string& n) { return std::make_unique<TArZipArchive>(n, fmOpenRead | fmShareDenyNone); }, true},
      {"zip cut into images, written over the file itself", "zip", Str(ThreeItems().Build()),
       [](const std::string& n) {
         auto a = std::make_unique<TArZipArchive>(n, fmOpenRead | fmShareDenyNone);
         a->SetSpanThreshold(300);
         return a;
       },
       false},
      {"tar", "tar",
       tartest::Entry("a.txt", '0', "alpha") + tartest::Entry("b.txt", '0', "beta") + std::string(1024, '\0'),
       [](const std::string& n) { return std::make_unique<TArTarArchive>(n, fmOpenRead | fmShareDenyNone); }, false},
      {"gzip", "gz", gziptest::Member("alpha"),
       [](const std::string& n) { return std::make_unique<TArGzipArchive>(n, fmOpenRead | fmShareDenyNone); }, false},
  };
  struct TTurn {
    const char* What;
    std::function<void(const std::string& real, const std::string& link, const std::string& victim)> Arrange;
    bool WhileWriting = false;
  };
  auto putAnother = [](const std::string& real, const std::string&, const std::string&) {
    artest::WriteFile(real + ".new", "another file");
    EXPECT_EQ(::rename(Native(real + ".new").c_str(), Native(real).c_str()), 0);
  };
  const TTurn turns[] = {
      {"a link turned elsewhere",
       [](const std::string&, const std::string& link, const std::string& victim) {
         EXPECT_EQ(::unlink(Native(link).c_str()), 0);
         EXPECT_EQ(::symlink(("../victim/" + ExtractFileName(victim)).c_str(), Native(link).c_str()), 0);
       }},
      {"another file put in its place", putAnother},
      {"another file put in its place while the new file is written", putAnother, true},
      {"the file deleted", [](const std::string& real, const std::string&,
                              const std::string&) { EXPECT_EQ(::unlink(Native(real).c_str()), 0); }},
  };
  for (const TFormat& f : formats)
    for (const TTurn& t : turns) {
      if (t.WhileWriting && !f.ReportsWriting) continue;
      SCOPED_TRACE(std::string(f.What) + ": " + t.What);
      artest::TempFolder dir;
      for (const char* folder : {"real", "links", "victim"}) os::MakeDirectory(dir / folder);
      const std::string ext = f.Extension;
      const std::string real = dir / ("real\\a." + ext), link = dir / ("links\\a." + ext),
                        victim = dir / ("victim\\v." + ext);
      artest::WriteFile(real, f.Bytes);
      artest::WriteFile(victim, "a file never loaded");
      ASSERT_EQ(::symlink(("../real/a." + ext).c_str(), Native(link).c_str()), 0);
      std::unique_ptr<TArArchive> a = f.Open(link);
      a->Load();
      a->IsDirty = true;
      std::map<std::string, std::string> before;
      if (t.WhileWriting) {
        a->OnSaveProgress = [&](TArArchive*, uint8_t, bool&) {
          if (!before.empty()) return;
          t.Arrange(real, link, victim);
          before = Snapshot(dir.Path());
          std::erase_if(before, [](const auto& e) { return e.first.find(".TMP") != std::string::npos; });
        };
      } else {
        t.Arrange(real, link, victim);
        before = Snapshot(dir.Path());
      }
      try {
        a->Save();
        ADD_FAILURE() << "saved";
      } catch (const std::exception& e) { EXPECT_NE(std::string(e.what()).find(link), std::string::npos) << e.what(); }
      EXPECT_EQ(Snapshot(dir.Path()), before);
    }
}
#endif

namespace {

// The archive's own stream, which a save closes right before its new file is to take the
// archive's place: closing it first does what another program might do just then. It reads
// a copy of the archive, so that no handle on the archive itself stands in the way of a
// rename over it (Windows refuses one over a file open without delete sharing).
class TStreamClosingWith : public TArSpanStream {
public:
  TStreamClosingWith(const std::string& copy, std::function<void()> onClose)
      : TArSpanStream(copy, 0, mkImageFiles, fmOpenRead | fmShareDenyNone), onClose_(std::move(onClose)) {
    IgnoreSpanning = true;
  }
  ~TStreamClosingWith() override { onClose_(); }

private:
  std::function<void()> onClose_;
};

}  // namespace

// Between the new file's making and its commit another file takes the archive's name, or
// the file goes: the save is refused with the error that says so, naming the archive, and
// the object, which can no longer reach the file it loaded by that name, refuses all
// further work, a load or a second save too; it never reads the file now there as if it
// were its own. A commit that fails with the loaded file still in place leaves the object
// reading that file, also when it loads it again.
TEST(FailedSaves, LeaveTheObjectReadingNoFileButTheOneLoaded) {
  struct TFormat {
    const char* Extension;
    std::function<std::string(char fill)> Bytes;  // one item of 1000 bytes of fill
    std::function<std::unique_ptr<TArArchive>(const std::string& name)> Open;
    std::function<void(TArArchive&)> BeforeLoad = nullptr;  // once the stream is in place
  };
  const auto tar = [](char fill) {
    return tartest::Entry("a.txt", '0', std::string(1000, fill)) + std::string(1024, '\0');
  };
  const TFormat formats[] = {
      {"zip",
       [](char fill) {
         TZipBuilder z;
         z.AddStored("a.txt", std::string(1000, fill));
         return Str(z.Build());
       },
       [](const std::string& n) {
         auto a = std::make_unique<TArZipArchive>(n, fmOpenRead | fmShareDenyNone);
         a->OnExtractToStream = [](TArZipArchive& z, TArZipItem& item, TStream* s) { ExtractItemToStream(z, item, s); };
         a->OnExtractToFile = [](TArZipArchive& z, TArZipItem& item, const std::string& out) {
           ExtractItemToFile(z, item, out);
         };
         a->OnTest = [](TArZipArchive& z, TArZipItem& item) { TestItem(z, item); };
         return a;
       }},
      {"tar", tar,
       [](const std::string& n) { return std::make_unique<TArTarArchive>(n, fmOpenRead | fmShareDenyNone); }},
      {"gz", [](char fill) { return gziptest::Member(std::string(1000, fill)); },
       [](const std::string& n) { return std::make_unique<TArGzipArchive>(n, fmOpenRead | fmShareDenyNone); }},
      {"tgz", [tar](char fill) { return gziptest::Member(tar(fill)); },
       [](const std::string& n) { return std::make_unique<TArGzipArchive>(n, fmOpenRead | fmShareDenyNone); },
       [](TArArchive& a) {
         auto& g = dynamic_cast<TArGzipArchive&>(a);
         g.HoldsTar = true;
         g.SetAutoUnpackTar(true);
       }},
  };
  struct TTurn {
    const char* What;
    std::function<void(const std::string& name, const std::string& other)> AtClose;
    const char* Error;  // what the save's error says besides the archive's name
    char There;         // what the file at the name is filled with afterwards; 0: there is none
  };
  const TTurn turns[] = {
      {"another file renamed over the archive",
       [](const std::string& name, const std::string& other) { EXPECT_TRUE(os::RenameFile(other, name)); },
       "it is not the file that was loaded", 'B'},
      {"the archive deleted", [](const std::string& name, const std::string&) { EXPECT_TRUE(os::EraseFile(name)); },
       "it is not the file that was loaded", 0},
#ifndef _WIN32  // an open file cannot be deleted there
      {"the new file deleted before it could take the archive's place",
       [](const std::string& name, const std::string&) {
         const std::string folder = ExtractFilePath(name);
         for (const std::string& f : artest::ListTree(folder)) {
           if (f != ExtractFileName(name)) { EXPECT_TRUE(os::EraseFile(folder + f)); }
         }
       },
       "Cannot create file", 'A'},
#endif
  };
  for (const TFormat& f : formats)
    for (const TTurn& t : turns) {
      SCOPED_TRACE(std::string(f.Extension) + ": " + t.What);
      artest::TempFolder dir;
      os::MakeDirectory(dir / "at");
      const std::string name = dir / (std::string("at\\a.") + f.Extension), other = dir / "other", copy = dir / "copy";
      artest::WriteFile(name, f.Bytes('A'));
      artest::WriteFile(copy, f.Bytes('A'));
      artest::WriteFile(other, f.Bytes('B'));
      std::unique_ptr<TArArchive> a = f.Open(name);
      delete a->Stream;
      a->Stream = new TStreamClosingWith(copy, [&] { t.AtClose(name, other); });
      if (f.BeforeLoad) f.BeforeLoad(*a);
      a->Load();
      ASSERT_EQ(a->Count(), 1);
      a->IsDirty = true;
      try {
        a->Save();
        ADD_FAILURE() << "saved";
      } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(t.Error), std::string::npos) << e.what();
      }
      // Nothing was written: what is at the name is as it was left, with nothing beside it.
      const auto expectNameAsLeft = [&] {
        EXPECT_EQ(artest::ListTree(dir / "at"),
                  t.There ? std::vector<std::string>{ExtractFileName(name)} : std::vector<std::string>{});
        if (t.There) { EXPECT_EQ(artest::ReadFile(name), f.Bytes(t.There)); }
      };
      expectNameAsLeft();
      auto unpacked = [&](int32_t index) {
        TMemoryStream read;
        a->UnpackItemToStream(index, read);
        return std::string(read.Bytes().begin(), read.Bytes().end());
      };
      if (t.There == 'A') {
        EXPECT_NE(a->Status, asInvalid);
        EXPECT_TRUE(a->IsDirty);
        EXPECT_EQ(unpacked(0), std::string(1000, 'A'));
        a->VerifyItem(0);
        a->Load();
        for (int32_t i = 0; i < a->Count(); ++i) EXPECT_EQ(unpacked(i), std::string(1000, 'A'));
        continue;
      }
      // Neither a load nor a second save brings the object back to the name: every request
      // is refused, and the file there stays as it is.
      for (const bool reloaded : {false, true}) {
        SCOPED_TRACE(reloaded ? "after a load" : "before a load");
        if (reloaded) {
          try {
            a->Load();
            ADD_FAILURE() << "loaded " << a->Count() << " items";
          } catch (const EArNoArchive&) {
          } catch (const std::exception& e) { ADD_FAILURE() << e.what(); }
        }
        EXPECT_EQ(a->Status, asInvalid);
        if (a->Status != asInvalid) break;  // it would read through a stream it no longer has
        EXPECT_EQ(a->Count(), 1);
        try {
          const std::string read = unpacked(0);
          ADD_FAILURE() << "unpacked " << read.size() << " bytes: " << read.substr(0, 10) << "...";
        } catch (const EArNoArchive&) {
        } catch (const std::exception& e) { ADD_FAILURE() << e.what(); }
        a->SetBaseDirectory(dir.Path());
        EXPECT_THROW(a->UnpackItemToFile(0, "a.txt"), EArNoArchive);
        EXPECT_THROW(a->VerifyItem(0), EArNoArchive);
        EXPECT_THROW(a->ExtractByMasks("*.*"), EArNoArchive);
        EXPECT_FALSE(os::FileExists(dir / "a.txt"));
        a->IsDirty = true;
        EXPECT_THROW(a->Save(), EArNoArchive);
        expectNameAsLeft();
      }
    }
}

// ---- failures -------------------------------------------------------------------------

namespace {

struct TFailureCase {
  const char* What;
  std::function<void(TArZipArchive&, artest::TempFolder&)> Arrange;
  int32_t Code;               // the archive error's code; -1 for an error of the platform
  bool NamesArchive = false;  // the platform's error names the archive (not a temporary file)
};

// Whatever an arrangement holds for the duration of the save (a limit, another user).
std::shared_ptr<void> heldForTheSave;

void ExpectFailedSaves(const std::vector<TFailureCase>& cases) {
  // Small enough for the staging to stay in memory. The first local header carries an
  // extra field of its own.
  TZipBuilder z;
  for (int i = 0; i < 3; ++i) {
    TZipEntry e = Stored("old" + std::to_string(i) + ".txt", std::string(20000, static_cast<char>('a' + i)));
    if (i == 0) e.LocalExtra = TBytes(10000, 0);
    z.Add(e);
  }
  const std::string bytes = Str(z.Build("kept comment"));
  for (const TFailureCase& c : cases) {
    SCOPED_TRACE(c.What);
    artest::TempFolder dir;
    const std::string name = dir / "a.zip";
    artest::WriteFile(name, bytes);
    TArZipArchive a(name, fmOpenRead | fmShareDenyNone);
    a.Load();
    a.ZipItem(1)->PendingAction = aaDelete;
    a.IsDirty = true;
    c.Arrange(a, dir);
    const int32_t count = a.Count();
    const auto folder = artest::ListTree(dir.Path());
    try {
      a.Save();
      ADD_FAILURE() << "saved";
    } catch (const EArException& e) { EXPECT_EQ(e.ErrorCode, c.Code) << e.what(); } catch (const std::exception& e) {
      EXPECT_EQ(c.Code, -1) << e.what();
      if (c.NamesArchive) {
        EXPECT_NE(std::string(e.what()).find("a.zip"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find(".TMP"), std::string::npos) << e.what();
      }
    }
    heldForTheSave.reset();
    os::SetAttributes(name, 0);
    EXPECT_EQ(artest::ReadFile(name), bytes);
    EXPECT_EQ(artest::ListTree(dir.Path()), folder);
    EXPECT_EQ(a.Count(), count);
    if (a.Count() != count) continue;
    EXPECT_EQ(a.ZipItem(1)->PendingAction, aaDelete);
    EXPECT_TRUE(a.IsDirty);
    a.ZipItem(2)->CentralHeader.PackedSize = 20000;
    EXPECT_EQ(ExtractedText(a, 2), std::string(20000, 'c'));
  }
}

}  // namespace

TEST(FailedSaves, LeaveTheOldArchiveTheFolderAndTheObjectAsTheyWere) {
  // New items come from a.bin.
  auto addNew = [](TArZipArchive& a, artest::TempFolder& d) {
    artest::WriteFile(d / "a.bin", std::string(1000, 'x'));
    a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(d / "a.bin")));
  };
  auto hooked = [addNew](std::function<void(TArZipItem&)> afterwards) {
    return [addNew, afterwards](TArZipArchive& a, artest::TempFolder& d) {
      addNew(a, d);
      a.OnInsert = [afterwards](TArZipArchive&, TArZipItem& item, TStream* out) {
        TFileStream source(item.SourcePath, fmOpenRead);
        CompressInto(item, source, *out, {});
        afterwards(item);
      };
    };
  };
  ExpectFailedSaves({
      {"abort",
       [](TArZipArchive& a, artest::TempFolder&) {
         a.OnSaveProgress = [](TArArchive*, uint8_t, bool& abort) { abort = true; };
       },
       9},
#ifndef _WIN32
      {"write error",
       [](TArZipArchive&, artest::TempFolder&) { heldForTheSave = std::make_shared<TFileSizeLimit>(30000); }, -1},
#endif
      {"read-only archive",
       [](TArZipArchive& a, artest::TempFolder&) { os::SetAttributes(a.ArchiveName, os::faReadOnly); }, -1, true},
      {"no insert hook", addNew, 5},
      {"packed size unlike the data", hooked([](TArZipItem& i) { i.SetPackedSize(i.GetPackedSize() - 1); }), 21},
      {"an item of 2 GiB", hooked([](TArZipItem& i) { i.SetUnpackedSize(0x80000000u); }), 0},
      {"offsets beyond 4 GiB",
       [](TArZipArchive& a, artest::TempFolder&) {
         for (int i : {0, 2}) a.ZipItem(i)->CentralHeader.PackedSize = 0x7FFFFFF0;
       },
       0},
      {"65,535 items",
       [addNew](TArZipArchive& a, artest::TempFolder& d) {
         addNew(a, d);
         for (int i = a.Count(); i < 65536; ++i) {
           auto* item = static_cast<TArZipItem*>(a.NewItem(d / "a.bin"));
           item->SetStoredName("n" + std::to_string(i));
           a.Items->Add(item);
           item->PendingAction = aaAdd;
         }
         a.OnInsert = [](TArZipArchive&, TArZipItem&, TStream*) { FAIL() << "a hook ran"; };
       },
       0},
      {"a self-extracting archive cut into images",
       [](TArZipArchive& a, artest::TempFolder&) {
         a.ProgramStubLength = 20;
         a.SetSpanThreshold(10000);
       },
       16},
      {"records that share one large local header",
       [](TArZipArchive& a, artest::TempFolder&) {
         for (int k = 0; k < 8; ++k) {  // copies of the first item's record
           TMemoryStream record;
           a.ZipItem(0)->WriteCentralHeader(record);
           record.SetPosition(0);
           auto* copy = new TArZipItem;
           copy->LoadFromCentralDirectory(record);
           a.Items->Add(copy);
           copy->PendingAction = aaNone;
         }
       },
       26},
      {"no data for a promised size", [](TArZipArchive& a, artest::TempFolder&) { a.ZipItem(0)->PendingAction = 0; },
       21},
  });
}

#ifndef _WIN32
// Root may write anything: the process acts as nobody for the save.
TEST(FailedSaves, RefuseWhatThisUserMayNotWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user";
  ExpectFailedSaves({
      {"another user's archive in a folder this user may write",
       [](TArZipArchive&, artest::TempFolder& d) {
         EXPECT_EQ(::chmod(Native(d.Path()).c_str(), 0777), 0);
         heldForTheSave = std::make_shared<TActingAsNobody>();
       },
       -1, true},
      {"this user's archive in a folder this user may not write",
       [](TArZipArchive& a, artest::TempFolder&) {
         const TUser u = Nobody();
         EXPECT_EQ(::chown(Native(a.ArchiveName).c_str(), u.Uid, u.Gid), 0);
         heldForTheSave = std::make_shared<TActingAsNobody>();
       },
       -1, true},
  });
}
#endif
