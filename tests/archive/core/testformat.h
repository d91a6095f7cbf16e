// A small archive format for driving the archive model in tests. The file holds one
// line per item, "stored name|content". The content "!crc" fails like a damaged item,
// "!abort" like a cancelled disk prompt; every unpack reports engine progress 50 and
// then 1638, as an engine that counts read-ahead can.
#pragma once
#include <string>
#include <vector>
#include "archive/core/ararchive.h"
#include "tests/archive/artestutil.h"

namespace artest {

class TTestItem : public TArArchiveItem {
public:
  std::string Content;
};

class TTestArchive : public TArArchive {
public:
  using TArArchive::TArArchive;

  int Writes = 0;
  std::vector<std::string> Unpacked;  // output names, in order

  TArArchiveItem* NewItem(const std::string& fileName) override {
    auto* item = new TTestItem;
    item->SourcePath = fileName;
    item->StoredName = NormalizeStoredName(fileName);
    return item;
  }

  void UnpackItemToFile(int32_t index, const std::string& outputName) override {
    auto* item = static_cast<TTestItem*>(Items->Get(index));
    if (item->Content == "!crc") throw EArZipBadCRC();
    if (item->Content == "!abort") throw EArUserAbort();
    std::string name = outputName;
    if (!PrepareOutputPath(BaseDirectory(), name, ExtractOptions, OnConfirmOverwrite, WalkFolders())) return;
    ReportEngineProgress(50);
    WriteFile(name, item->Content);
    ReportEngineProgress(1638);  // an engine may count past 100
    Unpacked.push_back(name);
  }

  void UnpackItemToStream(int32_t index, TStream& stream) override {
    const std::string& c = static_cast<TTestItem*>(Items->Get(index))->Content;
    stream.WriteBuffer(c.data(), static_cast<int32_t>(c.size()));
  }

  void ReadArchive() override {
    std::string text(static_cast<size_t>(Stream->Size()), '\0');
    Stream->SetPosition(0);
    if (!text.empty()) Stream->ReadBuffer(&text[0], static_cast<int32_t>(text.size()));
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      const size_t bar = line.find('|');
      if (bar == std::string::npos) throw EArZipInvalid();
      auto* item = new TTestItem;
      item->StoredName = line.substr(0, bar);
      item->Content = line.substr(bar + 1);
      item->UnpackedSize = static_cast<uint32_t>(item->Content.size());
      Items->Add(item);
      start = end + 1;
    }
  }

  void WriteArchive() override {
    ++Writes;
    for (int32_t i = Count() - 1; i >= 0; --i) {
      if (Items->Get(i)->PendingAction == aaDelete)
        Items->Delete(i);
      else
        Items->Get(i)->PendingAction = aaNone;
    }
  }

  void VerifyItem(int32_t) override {}
};

// An archive file with the given items ("name|content" lines) in folder.
inline std::string MakeArchiveFile(const std::string& folder, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += (text.empty() ? "" : "\n") + l;
  const std::string name = folder + "\\test.arc";
  WriteFile(name, text);
  return name;
}

struct Failure {
  std::string Name;
  TArProcessType Type;
  TArErrorClass Class;
  int32_t Code;
};

// Records every item failure of an archive.
inline void RecordFailures(TArArchive& a, std::vector<Failure>& out) {
  a.OnProcessItemFailure = [&out](TArArchive*, TArArchiveItem* item, TArProcessType t, TArErrorClass c, int32_t code) {
    out.push_back({item->GetStoredName(), t, c, code});
  };
}

}  // namespace artest
