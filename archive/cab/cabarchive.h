// The cabinet format of the archive model, through the platform's cabinet library: FDI
// lists and extracts, FCI writes. A cabinet archive is either read or created, never
// both, and it opens no stream of its own: the library reaches the files through the
// callbacks in cabcallbacks.cpp. Natively there is no library (only the tests' stand-in),
// and every operation that needs it raises EArNoCabinetDll.
//
// The library calls back into this object from inside its own frames. No exception may
// unwind through them (a 32-bit program dies of it), so a callback stores what it caught
// in Pending, answers the library's failure value, and the caller raises it again once
// the library has returned.
//
// A cabinet being written replaces nothing until it is whole: each piece goes to a pending
// file, which the library's delete only drops (its name is an old file's too), and all of
// them take their targets' places once the set has been flushed and every piece written
// out and closed. An add that fails gives the cabinet up: the context ends unflushed, the
// pieces go, and the archive takes nothing more and writes nothing.
#pragma once
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>
#include "archive/cab/cabapi.h"
#include "archive/core/ararchive.h"

class TPendingFile;
struct TCabFile;

class TArCabItem : public TArArchiveItem {
public:
  bool PartialFile = false;  // the file's data begins in an earlier cabinet of the set
  // A new item's stored name is UTF-8, which its entry marks with attribute 0x80.
  bool Utf8Name = false;
};

class TArCabArchive : public TArArchive {
public:
  // Bit 0 of mode: 1 creates a cabinet, 0 reads one. Makes no library call.
  TArCabArchive(const std::string& fileName, uint16_t mode);
  // Closes the contexts; a cabinet still being written is finished first, unless its
  // last save was refused.
  ~TArCabArchive() override;

  // The stored name is OEM text where the name has an exact OEM form, else UTF-8.
  TArArchiveItem* NewItem(const std::string& fileName) override;
  // Extracts every entry stored under the item's name below BaseDirectory; the output
  // name is not used.
  void UnpackItemToFile(int32_t index, const std::string& outputName) override;
  void UnpackItemToStream(int32_t, TStream&) override {}
  // Read mode: checks the file with the library's cabinet test and lists its entries.
  // Create mode: starts the cabinet.
  void ReadArchive() override;
  // Finishes the cabinet (or set) being written. A cabinet is written once: the
  // compression context ends with it. Raises when the cabinet has been given up.
  void WriteArchive() override;
  void VerifyItem(int32_t) override {}
  // 0 or less: no limit on the cabinet size.
  void SetSpanThreshold(int32_t value) override;
  std::unique_ptr<TArArchiveItem> Add(std::unique_ptr<TArArchiveItem> item) override;
  virtual void ConfirmOverwrite(std::string& name, bool& confirm);
  void ConfirmSaving(bool& confirm) override;

  bool CreateMode() const { return (Mode & 1) != 0; }

  // ---- the cabinet ----
  std::string CabinetFileName;  // without its folder
  std::string CabinetFolder;    // with its trailing "\"
  cab::CCAB CabinetParameters{};
  cab::FDICABINETINFO CabinetInfo{};
  cab::ERF ErrorRecord{};
  uint32_t CurrentItemBytes = 0;  // of the item being added, compressed so far
  std::string NextCabinetName, NextDiskName;
  uint32_t TempFileCounter = 0;
  uint16_t CabinetNumber = 0;
  uint32_t CabinetSize = 0;
  uint8_t CompressionType = cab::tcompTYPE_NONE;
  uint16_t FileCount = 0;
  uint32_t FolderThreshold = 0;  // 0: no limit
  uint16_t FolderCount = 0;
  bool HasPrevious = false, HasNext = false;
  uint16_t SetID = 0;

private:
  friend struct TCabCallbacks;

  // A file the library writes that replaces its target only when all of the work
  // succeeded: an output file of an extraction pass, or a piece of the cabinet being
  // written (which uses File, Handle and Name only).
  struct TTarget {
    std::unique_ptr<TPendingFile> File;  // none once the library deleted the piece
    std::unique_ptr<TCabFile> Handle;    // what the library writes through
    std::string Name;                    // a piece's, as the library opened it
    uint32_t DosDateTime = 0;
    uint32_t Attributes = 0;
    bool Closed = false;
  };

  // What became of the cabinet being written: open to adds, finished, or given up.
  enum class TWriting { Open, Finished, Failed };

  void CloseContexts();
  void CreateCompressionContext();
  void EndCompressionContext();
  void FinishCabinet(bool raise);
  void AbandonCabinet();
  cab::INT_PTR OpenPiece(const std::string& name);
  void DropPiece(const std::string& name);
  bool IsScratch(const std::string& name) const;
  void RaisePending();
  void ListEntries();

  cab::HFDI fdi_ = nullptr;
  cab::HFCI fci_ = nullptr;
  TWriting writing_ = TWriting::Open;
  bool saveRefused_ = false;          // the last save was refused: destruction writes nothing either
  std::vector<TTarget> pieces_;       // written so far, none in its target's place yet
  std::vector<std::string> scratch_;  // names handed to the library for its own files
  // Files the library opened while writing and has not closed: a failed add leaves its
  // source open, and only the archive can let it go.
  std::vector<cab::INT_PTR> fciFiles_;
  std::exception_ptr pending_;
  // During an extraction pass: whether an entry carried the item's name, and the files.
  bool matched_ = false;
  std::vector<TTarget> targets_;
};
