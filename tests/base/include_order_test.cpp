// The helpers header before <windows.h>: calls written DeleteFile still reach our helper.
#include "base/sysutils.h"
#include <windows.h>
#include <gtest/gtest.h>
#include "tests/base/temp_folder.h"

TEST(IncludeOrder, DeleteFileWithAStringWorksWhenWindowsHeaderComesLater) {
  TempFolder t;
  t.Put("x.txt", "x");
  const std::string name = t.File("x.txt");
  EXPECT_TRUE(DeleteFile(name));
  EXPECT_FALSE(t.Has("x.txt"));
  EXPECT_FALSE(DeleteFile(name.c_str()));  // the platform's function for a C string
}
