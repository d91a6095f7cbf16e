#include <gtest/gtest.h>
#include "base/strings.h"
#include "tests/base/temp_folder.h"

using Lines = std::vector<std::string>;

static Lines Entries(const TStringList& l) { return Lines(l.begin(), l.end()); }

TEST(StringList, IndexOutsideTheListRaisesListError) {
  TStringList l;
  EXPECT_THROW(l[0], EListError);
  l.Add("a");
  l.Add("b");
  EXPECT_EQ(l[1], "b");
  EXPECT_THROW(l[2], EListError);
  EXPECT_THROW(l[-1], EListError);
  const TStringList& c = l;
  EXPECT_THROW(c[2], EListError);
  EXPECT_THROW(l.Delete(2), EListError);
  EXPECT_THROW(l.Insert(3, "x"), EListError);
  l.Insert(2, "c");
  l.Delete(0);
  EXPECT_EQ(Entries(l), (Lines{"b", "c"}));
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, IndexOfFindsTheFirstEntryIgnoringLetterCase) {
  TStringList l;
  l.Add("Custom");
  l.Add("pc1");
  l.Add("PC1");
  EXPECT_EQ(l.IndexOf("PC1"), 1);
  EXPECT_EQ(l.IndexOf("custom"), 0);
  EXPECT_EQ(l.IndexOf("pc"), -1);
  EXPECT_EQ(l.IndexOf(""), -1);
}

TEST(StringList, TextSplitsAtCrLfLfAndLoneCr) {
  TStringList l;
  l.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(Entries(l), (Lines{"a", "b", "c", "d"}));
  l.SetText("a\r\n\r\nb\n\n");
  EXPECT_EQ(Entries(l), (Lines{"a", "", "b", ""}));
  l.SetText("\n\r");  // LF then a separate CR: two empty lines
  EXPECT_EQ(Entries(l), (Lines{"", ""}));
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
  l.SetText("only");
  EXPECT_EQ(l.Text(), "only\r\n");
}

TEST(StringList, LoadFromFileKeepsBytesAndReplacesTheEntries) {
  TempFolder t;
  t.Put("eng.txt",
        "English\r\nreadme.txt\rhelp.htm\n\xDC"
        "ber...");
  TStringList l;
  l.Add("stale");
  l.LoadFromFile(t.File("eng.txt"));
  EXPECT_EQ(Entries(l), (Lines{"English", "readme.txt", "help.htm",
                               "\xDC"
                               "ber..."}));
}

TEST(StringList, MissingFileRaisesOpenErrorAndLeavesTheList) {
  TempFolder t;
  TStringList l;
  l.Add("kept");
  EXPECT_THROW(l.LoadFromFile(t.File("none.txt")), EFOpenError);
  EXPECT_EQ(Entries(l), Lines{"kept"});
  t.Put("empty.txt", "");
  l.LoadFromFile(t.File("empty.txt"));
  EXPECT_EQ(l.Count(), 0);
  EXPECT_THROW(l[0], EListError);
}

TEST(StringList, SaveToFileWritesCrLfAfterEveryEntry) {
  TempFolder t;
  TStringList l;
  l.Add("001122334455");
  l.Add("");
  l.Add("07:30:00");
  l.SaveToFile(t.File("timer.dat"));
  EXPECT_EQ(t.Get("timer.dat"), "001122334455\r\n\r\n07:30:00\r\n");
  EXPECT_THROW(l.SaveToFile(t.File("no\\dir\\x.dat")), EFCreateError);
}
