// Archive items and the item list. Each format derives its entries from TArArchiveItem
// and keeps them in one TArArchiveList: the archive's order plus a hash of the stored
// names, so duplicate tests stay fast with thousands of items.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the next save does with an item.
enum TArAction : uint8_t {
  aaNone = 1,
  aaAdd = 2,
  aaDelete = 3,
  aaFreshen = 4,
  aaMove = 5,
  aaReplace = 6,
  aaStreamAdd = 7,
};

class TArArchiveItem {
public:
  TArArchiveItem() = default;
  virtual ~TArArchiveItem() = default;
  TArArchiveItem(const TArArchiveItem&) = delete;
  TArArchiveItem& operator=(const TArArchiveItem&) = delete;

  // The model and the list read and write these eight values only through the
  // accessors, so a format whose headers hold them overrides the accessors.
  virtual int32_t GetPackedSize() const { return PackedSize; }
  virtual uint32_t GetCrc() const { return Crc; }
  virtual uint32_t GetAttributes() const { return Attributes; }
  virtual std::string GetStoredName() const { return StoredName; }
  virtual bool GetEncrypted() const { return Encrypted; }
  virtual uint16_t GetModDate() const { return ModDate; }
  virtual uint16_t GetModTime() const { return ModTime; }
  virtual uint32_t GetUnpackedSize() const { return UnpackedSize; }
  virtual void SetPackedSize(int32_t v) { PackedSize = v; }
  virtual void SetCrc(uint32_t v) { Crc = v; }
  virtual void SetAttributes(uint32_t v) { Attributes = v; }
  // Renaming an item that sits in a list goes through TArArchiveList::Rename.
  virtual void SetStoredName(const std::string& v) {
    StoredName = v;
    UndecodedName = false;
  }
  // The stored name for a name as the file functions spell it; formats whose names take
  // another code page convert it. Renaming goes through TArArchiveList::Rename.
  virtual void SetFileSystemName(const std::string& name) { SetStoredName(name); }
  virtual void SetEncrypted(bool v) { Encrypted = v; }
  virtual void SetModDate(uint16_t v) { ModDate = v; }
  virtual void SetModTime(uint16_t v) { ModTime = v; }
  virtual void SetUnpackedSize(uint32_t v) { UnpackedSize = v; }
  // False for a name the format marks as UTF-8 that is no valid UTF-8 or holds a character
  // the code page of the file functions lacks. GetStoredName then reads it as an unmarked
  // name, and extraction never writes a file under it.
  virtual bool NameDecodes() const { return !UndecodedName; }

  // The stored name against one mask ("/" and "\" alike; a drive or share in the mask
  // is ignored). A mask with a folder part matches only names with that folder part.
  bool MatchesMask(const std::string& mask) const;
  // Masks separated by ";", each trimmed of blanks and control characters; the first
  // match wins. An empty list matches nothing.
  bool MatchesMaskList(const std::string& maskList) const;

  TArArchiveItem* BucketNext = nullptr;  // the list's hash chain
  uint8_t PendingAction = aaNone;
  int32_t PackedSize = 0;
  uint32_t Crc = 0;
  std::string SourcePath;
  uint32_t Attributes = 0;
  std::string StoredName;
  bool Encrypted = false;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  bool Marked = false;
  uint32_t UnpackedSize = 0;
  bool UndecodedName = false;  // see NameDecodes
};

class TArArchiveList {
public:
  static constexpr int32_t kBucketCount = 1021;

  TArArchiveList();
  // Frees the items still held.
  ~TArArchiveList();
  TArArchiveList(const TArArchiveList&) = delete;
  TArArchiveList& operator=(const TArArchiveList&) = delete;

  // Takes ownership; returns the item's index.
  int32_t Add(TArArchiveItem* item);
  // Forgets every item without freeing it (whoever called owns them now).
  void Clear();
  // Frees every item, last first, and empties the list.
  void FreeAll();
  // Unlinks and frees the item at index; later items move down.
  void Delete(int32_t index);
  // Unlinks the item at index without freeing it and hands it back.
  TArArchiveItem* Extract(int32_t index);
  // Index of the newest item with this name (ASCII case ignored), or -1.
  int32_t Find(const std::string& name) const;
  // Whether an item of this name is there and not marked for deletion.
  bool IsActiveDuplicate(const std::string& name) const;
  // Gives an item of the list the stored name for a file-system name and moves it to the
  // name's chain; a name the format cannot hold raises and leaves the item as it was.
  void Rename(TArArchiveItem* item, const std::string& newName);
  TArArchiveItem* Get(int32_t index) const;
  TArArchiveItem* operator[](int32_t index) const { return Get(index); }
  int32_t Count() const { return static_cast<int32_t>(Entries.size()); }
  int32_t IndexOf(const TArArchiveItem* item) const;

  static int32_t HashName(const std::string& name);

private:
  void CheckIndex(int32_t index) const;
  void Link(TArArchiveItem* item);
  void Unlink(TArArchiveItem* item);

  std::vector<TArArchiveItem*> Entries;  // the archive's order; owns the items
  std::vector<TArArchiveItem*> Buckets;  // kBucketCount chain heads, linked by BucketNext
};

// ASCII-only case folding comparison of stored names.
bool SameStoredName(const std::string& a, const std::string& b);
