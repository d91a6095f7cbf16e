// Archive items and the hashed item list (see aritems.h).
#include "archive/core/aritems.h"
#include <algorithm>
#include <cstdio>
#include "archive/core/arutils.h"
#include "base/exception.h"
#include "base/os.h"

bool SameStoredName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool TArArchiveItem::MatchesMask(const std::string& mask) const {
  std::string root, dirs, name;
  SplitPath(mask, root, dirs, name);  // also turns "/" into "\"
  std::string stored = GetStoredName();
  ToBackslashes(stored);
  return MatchFileMask(stored, dirs + name);
}

bool TArArchiveItem::MatchesMaskList(const std::string& maskList) const {
  if (maskList.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = maskList.find(';', start);
    std::string mask = maskList.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t a = 0, b = mask.size();
    while (a < b && static_cast<unsigned char>(mask[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(mask[b - 1]) <= ' ') --b;
    if (MatchesMask(mask.substr(a, b - a))) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

TArArchiveList::TArArchiveList() : Buckets(kBucketCount, nullptr) {}

TArArchiveList::~TArArchiveList() { FreeAll(); }

int32_t TArArchiveList::HashName(const std::string& name) {
  const std::string upper = os::UpperCase(name);
  uint32_t h = 0;
  for (unsigned char c : upper) {
    h = (h << 4) + c;
    const uint32_t g = h & 0xF0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  }
  return static_cast<int32_t>(h % kBucketCount);
}

void TArArchiveList::Link(TArArchiveItem* item) {
  TArArchiveItem*& head = Buckets[static_cast<size_t>(HashName(item->GetStoredName()))];
  item->BucketNext = head;
  head = item;
}

void TArArchiveList::Unlink(TArArchiveItem* item) {
  // By identity: look in the chain of the current name first, then everywhere, so an
  // item renamed behind the list's back never stays behind as a dangling link.
  auto unlinkFrom = [item](TArArchiveItem*& head) {
    for (TArArchiveItem** p = &head; *p; p = &(*p)->BucketNext)
      if (*p == item) {
        *p = item->BucketNext;
        item->BucketNext = nullptr;
        return true;
      }
    return false;
  };
  if (unlinkFrom(Buckets[static_cast<size_t>(HashName(item->GetStoredName()))])) return;
  for (auto& head : Buckets)
    if (unlinkFrom(head)) return;
}

int32_t TArArchiveList::Add(TArArchiveItem* item) {
  Entries.push_back(item);
  Link(item);
  return Count() - 1;
}

void TArArchiveList::Clear() {
  Entries.clear();
  std::fill(Buckets.begin(), Buckets.end(), nullptr);
}

void TArArchiveList::FreeAll() {
  while (!Entries.empty()) {
    delete Entries.back();
    Entries.pop_back();
  }
  Clear();
}

void TArArchiveList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= Count()) {
    char msg[64];
    std::snprintf(msg, sizeof msg, "List index out of bounds (%d)", index);
    throw EListError(msg);
  }
}

TArArchiveItem* TArArchiveList::Extract(int32_t index) {
  CheckIndex(index);
  TArArchiveItem* item = Entries[static_cast<size_t>(index)];
  Unlink(item);
  Entries.erase(Entries.begin() + index);
  return item;
}

void TArArchiveList::Delete(int32_t index) { delete Extract(index); }

int32_t TArArchiveList::IndexOf(const TArArchiveItem* item) const {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i] == item) return static_cast<int32_t>(i);
  return -1;
}

int32_t TArArchiveList::Find(const std::string& name) const {
  for (TArArchiveItem* p = Buckets[static_cast<size_t>(HashName(name))]; p; p = p->BucketNext)
    if (SameStoredName(p->GetStoredName(), name)) return IndexOf(p);
  return -1;
}

bool TArArchiveList::IsActiveDuplicate(const std::string& name) const {
  for (TArArchiveItem* p = Buckets[static_cast<size_t>(HashName(name))]; p; p = p->BucketNext)
    if (p->PendingAction != aaDelete && SameStoredName(p->GetStoredName(), name)) return true;
  return false;
}

void TArArchiveList::Rename(TArArchiveItem* item, const std::string& newName) {
  const bool listed = IndexOf(item) >= 0;
  if (listed) Unlink(item);
  try {
    item->SetFileSystemName(newName);
  } catch (...) {
    if (listed) Link(item);
    throw;
  }
  if (listed) Link(item);
}

TArArchiveItem* TArArchiveList::Get(int32_t index) const {
  CheckIndex(index);
  return Entries[static_cast<size_t>(index)];
}
