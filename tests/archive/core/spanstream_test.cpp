// The span stream: complete-path rule, read/write mode, splitting writes across image
// files, reading back across images, the image names, seeking and cancelled requests.
#include <gtest/gtest.h>
#include "archive/core/arerrors.h"
#include "archive/core/spanstream.h"
#include "tests/archive/artestutil.h"

namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

TEST(SpanStream, ARelativeNameIsRefusedBeforeAnyFileIsTouched) {
  artest::TempFolder t;
  try {
    TArSpanStream s("set.zip", 0, mkImageFiles, fmCreate);
    ADD_FAILURE();
  } catch (const EArException& e) {
    EXPECT_STREQ(e.what(), "Full Path Required");
    EXPECT_EQ(e.ErrorCode, 0);
  }
  EXPECT_FALSE(os::FileExists("set.zip"));
}

TEST(SpanStream, CreateAndWriteModesWriteOtherModesRead) {
  artest::TempFolder t;
  const std::string n = t / "m.zip";
  {
    TArSpanStream s(n, 0, mkImageFiles, fmCreate);
    EXPECT_EQ(s.SpanMode(), smWriting);
    EXPECT_EQ(s.Write("abc", 3), 3);
  }
  for (uint16_t mode : {uint16_t(fmOpenWrite), uint16_t(fmOpenWrite | fmShareDenyWrite)}) {
    TArSpanStream s(n, 0, mkImageFiles, mode);
    EXPECT_EQ(s.SpanMode(), smWriting) << mode;
  }
  for (uint16_t mode : {uint16_t(fmOpenRead), uint16_t(fmOpenReadWrite), uint16_t(fmOpenRead | fmShareDenyNone)}) {
    TArSpanStream s(n, 0, mkImageFiles, mode);
    EXPECT_EQ(s.SpanMode(), smReading) << mode;
    EXPECT_EQ(s.Write("xyz", 3), 0);
  }
  EXPECT_EQ(artest::ReadFile(n), "abc");
}

TEST(SpanStream, AWriteLargerThanTheRoomContinuesOnTheNextImages) {
  artest::TempFolder t;
  const std::string data = Pattern(10000);
  std::vector<int32_t> numbers;
  {
    TArSpanStream s(t / "SET.ZIP", 4000, mkImageFiles, fmCreate);
    s.OnRequestImage = [&](void* sender, int32_t number, std::string&, bool&) {
      EXPECT_EQ(sender, &s);
      numbers.push_back(number);
    };
    EXPECT_EQ(s.Write(data.data(), 10000), 10000);
    EXPECT_EQ(s.SpanNumber(), 2);
    EXPECT_EQ(s.ImageName(), t / "SET.z02");
    EXPECT_EQ(s.TotalWritten(), 10000);
  }
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(artest::ReadFile(t / "SET.ZIP"), data.substr(0, 4000));
  EXPECT_EQ(artest::ReadFile(t / "SET.z01"), data.substr(4000, 4000));
  EXPECT_EQ(artest::ReadFile(t / "SET.z02"), data.substr(8000));
}

TEST(SpanStream, ReadingCrossesImagesThroughTheHookOneImagePerRead) {
  artest::TempFolder t;
  artest::WriteFile(t / "R.ZIP", "first-");
  artest::WriteFile(t / "R.z01", "second-");
  artest::WriteFile(t / "R.z02", "third");
  TArSpanStream s(t / "R.ZIP", 0, mkImageFiles, fmOpenRead | fmShareDenyNone);
  std::vector<int32_t> numbers;
  s.OnRequestImage = [&](void*, int32_t number, std::string& name, bool&) {
    numbers.push_back(number);
    name = t / (number == 1 ? "R.z01" : "R.z02");
  };
  std::string got;
  char buf[100];
  int32_t n;
  while (got.size() < 18 && (n = s.Read(buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
  EXPECT_EQ(got, "first-second-third");
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(s.MovedByItself);
  s.OnRequestImage = nullptr;
  EXPECT_EQ(s.Read(buf, sizeof buf), 0);  // at the end and nobody to ask
}

TEST(SpanStream, RemovableDisksSeeImageNumbersCountedFromOne) {
  artest::TempFolder t;
  artest::WriteFile(t / "D.ZIP", "x");
  TArSpanStream s(t / "D.ZIP", 0, mkRemovableDisks, fmOpenRead);
  int32_t seen = -1;
  s.OnRequestImage = [&](void*, int32_t number, std::string&, bool&) { seen = number; };
  char c;
  ASSERT_EQ(s.Read(&c, 1), 1);
  ASSERT_EQ(s.Read(&c, 1), 1);  // the same file again, as the disk was "changed"
  EXPECT_EQ(seen, 2);
}

TEST(SpanStream, CancelledRequestsRaiseUserAbort) {
  artest::TempFolder t;
  artest::WriteFile(t / "C.ZIP", "x");
  {
    TArSpanStream s(t / "C.ZIP", 0, mkImageFiles, fmOpenRead);
    s.OnRequestImage = [](void*, int32_t, std::string&, bool& abort) { abort = true; };
    char c[2];
    EXPECT_EQ(s.Read(c, 2), 1);
    EXPECT_THROW(s.Read(c, 2), EArUserAbort);
  }
  {
    TArSpanStream s(t / "W.ZIP", 10, mkImageFiles, fmCreate);
    s.OnRequestImage = [](void*, int32_t, std::string&, bool& abort) { abort = true; };
    const std::string data = Pattern(25);
    EXPECT_THROW(s.Write(data.data(), 25), EArUserAbort);
    EXPECT_THROW(s.OpenNextImage(), EArUserAbort);
  }
  {
    TArSpanStream s(t / "N.ZIP", 10, mkImageFiles, fmCreate);  // nobody to ask
    const std::string data = Pattern(25);
    EXPECT_THROW(s.Write(data.data(), 25), EArException);
  }
}

TEST(SpanStream, NextLocalImageNameNumbersFromTheSpanNumber) {
  artest::TempFolder t;
  TArSpanStream s(t / "SET.ZIP", 1, mkImageFiles, fmCreate);
  EXPECT_EQ(s.NextLocalImageName(), t / "SET.z01");
  s.OnRequestImage = [](void*, int32_t, std::string&, bool&) {};
  for (int i = 0; i < 9; ++i) s.OpenNextImage();
  EXPECT_EQ(s.SpanNumber(), 9);
  EXPECT_EQ(s.NextLocalImageName(), t / "SET.z10");
  TArSpanStream bare(t / "NOEXT", 0, mkImageFiles, fmCreate);
  EXPECT_EQ(bare.NextLocalImageName(), t / "NOEXT.z01");
  for (int i = 0; i < 90; ++i) s.OpenNextImage();  // after .z99 the names run out
  EXPECT_EQ(s.NextLocalImageName(), "");
}

TEST(SpanStream, SeekInWritingModeStaysAndReadingSeeksStayInsideTheImage) {
  artest::TempFolder t;
  {
    TArSpanStream w(t / "S.ZIP", 0, mkImageFiles, fmCreate);
    w.Write("0123456789", 10);
    EXPECT_EQ(w.Seek(0, soFromBeginning), 10);
    EXPECT_EQ(w.Seek(-3, soFromEnd), 10);
  }
  TArSpanStream r(t / "S.ZIP", 0, mkImageFiles, fmOpenRead);
  EXPECT_EQ(r.Seek(4, soFromBeginning), 4);
  EXPECT_EQ(r.Seek(-2, soFromEnd), 8);
  EXPECT_EQ(r.Seek(1, soFromCurrent), 9);
  EXPECT_THROW(r.Seek(11, soFromBeginning), EArReadError);
  EXPECT_THROW(r.Seek(-1, soFromBeginning), EArReadError);
  r.IgnoreSpanning = true;
  EXPECT_EQ(r.Seek(-100, soFromEnd), 0);
  EXPECT_EQ(r.Seek(100, soFromBeginning), 10);
  EXPECT_EQ(r.Size(), 10);
}

TEST(SpanStream, SetSizeTruncatesTheCurrentImage) {
  artest::TempFolder t;
  TArSpanStream w(t / "T.ZIP", 0, mkImageFiles, fmCreate);
  w.Write("0123456789", 10);
  w.SetSize(4);
  EXPECT_EQ(w.Size(), 4);
  w.SetSize(0);
  EXPECT_EQ(w.Size(), 0);
}

TEST(FileStream, ModesCreateOpenAndRefuseMissingFiles) {
  artest::TempFolder t;
  EXPECT_THROW(TFileStream(t / "none", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(t / "no\\such\\dir", fmCreate), EFCreateError);
  {
    TFileStream f(t / "f", fmCreate);
    f.WriteBuffer("hello", 5);
    EXPECT_EQ(f.Size(), 5);
    f.SetSize(8);
    EXPECT_EQ(f.Size(), 8);
  }
  TFileStream r(t / "f", fmOpenRead | fmShareDenyNone);
  char buf[8];
  r.ReadBuffer(buf, 8);
  EXPECT_EQ(std::string(buf, 8), std::string("hello\0\0\0", 8));
  EXPECT_EQ(r.Write("x", 1), 0);  // opened for reading only
  const uint32_t dt = os::FileDosDateTime(r.Handle());
  EXPECT_NE(dt, 0xFFFFFFFFu);
  EXPECT_GE(dt >> 25, 2020u - 1980u);
}

}  // namespace
