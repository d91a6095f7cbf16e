// DOS dates and times on files of the POSIX build: they are local times of the zone in
// force on their own date, so one archive's files from summer and from winter each get
// their own offset, whatever order they come in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <cstdlib>
#include <ctime>
#include "base/os.h"
#include "tests/base/temp_folder.h"

namespace {

uint32_t Dos(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute, uint32_t second) {
  return (year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 | second / 2;
}

class FileTimes : public ::testing::Test {
protected:
  void SetUp() override {
    file_ = os::CreateNew(folder_.File("f.txt"), 0);
    ASSERT_NE(file_, os::kInvalidHandle);
  }
  void TearDown() override {
    os::CloseFile(file_);
    unsetenv("TZ");
    tzset();
  }
  static void Zone(const char* name) {
    setenv("TZ", name, 1);
    tzset();
  }
  // Sets the DOS time and answers the file's modification time in seconds since 1970.
  time_t Set(uint32_t dos) {
    EXPECT_TRUE(os::SetFileDosDateTime(file_, dos));
    struct stat st;
    EXPECT_EQ(::fstat(static_cast<int>(file_), &st), 0);
    return st.st_mtime;
  }
  uint32_t Get() const { return os::FileDosDateTime(file_); }

  TempFolder folder_;
  os::FileHandle file_ = os::kInvalidHandle;
};

TEST_F(FileTimes, SummerAndWinterTimesTakeTheOffsetOfTheirOwnDateAndComeBackUnchanged) {
  Zone("Europe/Berlin");
  struct {
    uint32_t dos;
    time_t utc;
  } const cases[] = {
      {Dos(2023, 7, 15, 12, 0, 0), 1689415200},   // summer time, 10:00 UTC
      {Dos(2023, 1, 15, 12, 0, 0), 1673780400},   // winter time, 11:00 UTC
      {Dos(2023, 7, 16, 12, 0, 0), 1689501600},   // summer again right after winter
      {Dos(2024, 3, 31, 1, 59, 58), 1711846798},  // the last winter second pair before the change
      {Dos(2024, 3, 31, 3, 0, 0), 1711846800},    // and the first summer one: 2 s later
      {Dos(2107, 12, 31, 23, 59, 58), 4354815598}, {Dos(1980, 1, 1, 0, 0, 0), 315529200},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Set(c.dos), c.utc) << std::hex << c.dos;
    EXPECT_EQ(Get(), c.dos) << std::hex << c.dos;
  }
  // 02:30 on the morning the clocks go forward never happened: the file gets the moment
  // the clock showed 03:30, as the C library's own conversion gives it.
  EXPECT_EQ(Set(Dos(2024, 3, 31, 2, 30, 0)), 1711848600);
  EXPECT_EQ(Get(), Dos(2024, 3, 31, 3, 30, 0));
}

TEST_F(FileTimes, AHalfHourDaylightShiftAndTheSouthernSummerAreHonoured) {
  Zone("Australia/Lord_Howe");
  EXPECT_EQ(Set(Dos(2023, 7, 15, 12, 0, 0)), 1689384600);  // winter, +10:30
  EXPECT_EQ(Get(), Dos(2023, 7, 15, 12, 0, 0));
  EXPECT_EQ(Set(Dos(2023, 1, 15, 12, 0, 0)), 1673744400);  // summer, +11:00
  EXPECT_EQ(Get(), Dos(2023, 1, 15, 12, 0, 0));
  Zone("UTC");
  EXPECT_EQ(Set(Dos(2023, 1, 15, 12, 0, 0)), 1673784000);
}

}  // namespace
