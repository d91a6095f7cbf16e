// Archive items and the hashed item list: name hashing, newest-first lookup, deletion
// and renaming keep every item in exactly the chain of its name.
#include <gtest/gtest.h>
#include <map>
#include <random>
#include "archive/core/aritems.h"
#include "base/exception.h"

namespace {

TArArchiveItem* Item(const std::string& name, uint8_t action = aaNone) {
  auto* i = new TArArchiveItem;
  i->StoredName = name;
  i->PendingAction = action;
  return i;
}

TEST(ArchiveItem, StartsEmptyWithNoPendingAction) {
  TArArchiveItem i;
  EXPECT_EQ(i.GetPackedSize(), 0);
  EXPECT_EQ(i.GetUnpackedSize(), 0u);
  EXPECT_EQ(i.GetCrc(), 0u);
  EXPECT_EQ(i.GetStoredName(), "");
  EXPECT_EQ(i.GetModDate(), 0);
  EXPECT_EQ(i.GetModTime(), 0);
  EXPECT_FALSE(i.GetEncrypted());
  EXPECT_EQ(i.PendingAction, aaNone);
}

TEST(ArchiveItem, MatchesMaskListTriesEachTrimmedMaskInOrder) {
  TArArchiveItem notes, readme, docsA;
  notes.StoredName = "notes.doc";
  readme.StoredName = "readme.txt";
  docsA.StoredName = "docs/a.txt";
  EXPECT_TRUE(notes.MatchesMaskList("*.txt; *.doc"));
  EXPECT_TRUE(notes.MatchesMaskList("  *.txt ;\t*.DOC  "));
  EXPECT_FALSE(notes.MatchesMaskList(""));
  EXPECT_FALSE(readme.MatchesMaskList("docs\\*.txt"));
  EXPECT_TRUE(docsA.MatchesMaskList("docs\\*.txt"));
  EXPECT_TRUE(docsA.MatchesMask("D:\\docs\\*.txt"));
  EXPECT_TRUE(docsA.MatchesMask("\\\\srv\\share\\docs/*.txt"));
  EXPECT_FALSE(docsA.MatchesMask("src\\*.txt"));
  EXPECT_TRUE(docsA.MatchesMaskList(";;*.*"));
  EXPECT_FALSE(docsA.MatchesMaskList("*.exe;;"));
}

TEST(ItemList, HashFoldsCaseAndStaysInRange) {
  EXPECT_EQ(TArArchiveList::HashName("readme.txt"), TArArchiveList::HashName("README.TXT"));
  EXPECT_EQ(TArArchiveList::HashName("A"), 65);
  EXPECT_EQ(TArArchiveList::HashName("README.TXT"), 31);
  EXPECT_EQ(TArArchiveList::HashName("DOCS\\A.TXT"), 491);
  EXPECT_EQ(TArArchiveList::HashName(std::string(300, '\xFF')) < TArArchiveList::kBucketCount, true);
}

TEST(ItemList, FindGivesTheNewestItemAndDeletedItemsAreNotActive) {
  TArArchiveList list;
  list.Add(Item("a.txt", aaDelete));
  EXPECT_FALSE(list.IsActiveDuplicate("A.TXT"));
  EXPECT_EQ(list.Find("A.TXT"), 0);
  list.Add(Item("b.txt"));
  list.Add(Item("A.TXT"));
  EXPECT_TRUE(list.IsActiveDuplicate("a.txt"));
  EXPECT_EQ(list.Find("a.txt"), 2);
  list.Delete(0);  // the older one
  EXPECT_EQ(list.Find("a.txt"), 1);
  EXPECT_EQ(list.Get(1)->StoredName, "A.TXT");
  EXPECT_EQ(list.Find("c.txt"), -1);
}

TEST(ItemList, BadIndexRaisesAndChangesNothing) {
  TArArchiveList list;
  list.Add(Item("x"));
  EXPECT_THROW(list.Get(1), EListError);
  EXPECT_THROW(list.Get(-1), EListError);
  EXPECT_THROW(list.Delete(5), EListError);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Find("x"), 0);
}

TEST(ItemList, AnItemRenamedBehindTheListsBackIsStillUnlinkedOnDelete) {
  TArArchiveList list;
  list.Add(Item("old.txt"));
  list.Add(Item("other.txt"));
  list.Get(0)->SetStoredName("new.txt");  // not through Rename
  list.Delete(0);
  // A dangling link would be read here (and reported by the sanitizer).
  EXPECT_EQ(list.Find("old.txt"), -1);
  EXPECT_EQ(list.Find("other.txt"), 0);
}

// Random adds, deletes and renames against a plain model: every name is found where
// the model says, and the chains hold exactly the listed items.
TEST(ItemList, RandomOperationsKeepEveryItemInItsChain) {
  std::mt19937 rng(77);
  TArArchiveList list;
  std::vector<std::pair<std::string, uint8_t>> model;
  auto randomName = [&] {
    std::string n = "n" + std::to_string(rng() % 60);
    if (rng() % 2)
      for (auto& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return n;
  };
  for (int step = 0; step < 20000; ++step) {
    const int op = static_cast<int>(rng() % 10);
    if (op < 5 || model.empty()) {
      const uint8_t action = rng() % 4 == 0 ? aaDelete : aaNone;
      const std::string n = randomName();
      ASSERT_EQ(list.Add(Item(n, action)), static_cast<int32_t>(model.size()));
      model.emplace_back(n, action);
    } else if (op < 8) {
      const size_t i = rng() % model.size();
      list.Delete(static_cast<int32_t>(i));
      model.erase(model.begin() + static_cast<long>(i));
    } else {
      const size_t i = rng() % model.size();
      const std::string n = randomName();
      list.Rename(list.Get(static_cast<int32_t>(i)), n);
      model[i].first = n;
    }
    const std::string probe = randomName();
    int32_t expectFind = -1;
    bool expectActive = false;
    // Newest first: the item added last among equals. Renamed items go to the chain
    // head too, so the model tracks the order of linking, not of the list.
    for (size_t k = 0; k < model.size(); ++k)
      if (SameStoredName(model[k].first, probe) && model[k].second != aaDelete) expectActive = true;
    const int32_t found = list.Find(probe);
    for (size_t k = 0; k < model.size(); ++k)
      if (SameStoredName(model[k].first, probe)) expectFind = static_cast<int32_t>(k);
    ASSERT_EQ(found >= 0, expectFind >= 0) << probe;
    if (found >= 0) { ASSERT_TRUE(SameStoredName(list.Get(found)->StoredName, probe)); }
    ASSERT_EQ(list.IsActiveDuplicate(probe), expectActive) << probe;
    ASSERT_EQ(list.Count(), static_cast<int32_t>(model.size()));
  }
}

}  // namespace
