// Error codes, the numbered message table and the exceptions of the archive library.
// Messages are never written at the raise site: each leaf exception looks its text up
// by code, so the table is the one place where the library's wording lives.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "base/exception.h"

// One argument of ArFormat: a number or a text.
struct TArFormatArg {
  TArFormatArg(int64_t v) : IsText(false), Number(v) {}
  TArFormatArg(int v) : IsText(false), Number(v) {}
  TArFormatArg(uint32_t v) : IsText(false), Number(v) {}
  TArFormatArg(const std::string& v) : IsText(true), Text(v) {}
  TArFormatArg(const char* v) : IsText(true), Text(v) {}
  bool IsText;
  int64_t Number = 0;
  std::string Text;
};

// The standard formatting routine for the table's texts: %d, %x, %s with optional
// width and precision ("%3.3d"), and %%. A placeholder whose argument is missing or of
// the other kind is copied unchanged, so a translated table can never crash a raise.
std::string ArFormat(const std::string& format, const std::vector<TArFormatArg>& args);

// Sets text to the table entry of code; an unknown code leaves text as it was.
void LookupMessage(int32_t code, std::string& text);
// The table text of code, or empty.
std::string ArMessage(int32_t code);

struct TArMessageEntry {
  int32_t Code;
  const char* Text;
};
// The whole table in code order (146 entries).
const std::vector<TArMessageEntry>& ArMessageTable();

// Codes read by name elsewhere in the library.
enum : int32_t {
  arcZipVersion = 1,
  arcZipInvalidMethod = 2,
  arcZipNoExtraction = 3,
  arcZipInvalidPassword = 4,
  arcZipNoInsertion = 5,
  arcZipInvalidFactor = 6,
  arcDuplicateName = 7,
  arcUserAbort = 9,
  arcInsertFloppy = 11,
  arcInsertLastDisk = 12,
  arcZipBadSpanStream = 13,
  arcInsertDiskNumber = 14,
  arcZipSpanOverwrite = 15,
  arcSelfExtractingSpan = 16,
  arcInsertBlankFloppy = 17,
  arcNoSuchDirectory = 19,
  arcBadStream = 21,
  arcZipTruncate = 22,
  arcZipBadCRC = 23,
  arcFileNotFound = 25,
  arcZipInvalidLFH = 26,
  arcNoArchive = 27,
  arcZipInvalid = 28,
  arcReadError = 29,
  arcInvalidThreshold = 31,
  arcImageFileName = 34,
  arcUnhandledType = 35,
  arcSpanningNotSupported = 36,
  arcInsertSpanNumber = 37,
  arcErrorCreatingLog = 38,
  arcFCIFlushCabinet = 59,
  arcLogAdded = 310,
  arcLogDeleted = 311,
  arcLogExtracted = 312,
  arcLogFreshened = 313,
  arcLogMoved = 314,
  arcLogReplaced = 315,
  arcLogLogging = 316,
  arcLogUnhandled = 513,
};

// The family of the library's own failures. A raise with its own text (for example
// "Path not found") keeps ErrorCode 0.
class EArException : public Exception {
public:
  explicit EArException(const std::string& message) : Exception(message) {}
  int32_t ErrorCode = 0;
};
class EArZipException : public EArException {
  using EArException::EArException;
};
class EArCabException : public EArException {
  using EArException::EArException;
};
class EArGzipException : public EArException {
  using EArException::EArException;
};

// A leaf: its message is the table text of its code, formatted with the arguments.
template <class Group, int32_t Code>
class TArLeafException : public Group {
public:
  TArLeafException() : Group(ArMessage(Code)) { this->ErrorCode = Code; }
};
template <class Group, int32_t Code>
class TArFormattedLeafException : public Group {
public:
  explicit TArFormattedLeafException(const std::vector<TArFormatArg>& args) : Group(ArFormat(ArMessage(Code), args)) {
    this->ErrorCode = Code;
  }
};

// Raises the table text of a code that has no leaf class of its own, in the group given.
template <class Group>
[[noreturn]] void ArRaiseCoded(int32_t code) {
  Group e(ArMessage(code));
  e.ErrorCode = code;
  throw e;
}

#define AR_LEAF(Name, Group, Code) \
  class Name : public TArLeafException<Group, Code> {};
AR_LEAF(EArBadStream, EArException, 21)
AR_LEAF(EArDuplicateName, EArException, 7)
AR_LEAF(EArFileNotFound, EArException, 25)
AR_LEAF(EArNoArchive, EArException, 27)
AR_LEAF(EArUserAbort, EArException, 9)
AR_LEAF(EArNoSuchDirectory, EArException, 19)
AR_LEAF(EArUnhandledType, EArException, 35)
AR_LEAF(EArSpanningNotSupported, EArException, 36)
AR_LEAF(EArZipBadSpanStream, EArZipException, 13)
AR_LEAF(EArZipBadCRC, EArZipException, 23)
AR_LEAF(EArZipInvalid, EArZipException, 28)
AR_LEAF(EArZipInvalidFactor, EArZipException, 6)
AR_LEAF(EArZipInvalidLFH, EArZipException, 26)
AR_LEAF(EArZipInvalidMethod, EArZipException, 2)
AR_LEAF(EArZipInvalidPassword, EArZipException, 4)
AR_LEAF(EArZipNoExtraction, EArZipException, 3)
AR_LEAF(EArZipNoInsertion, EArZipException, 5)
AR_LEAF(EArZipSpanOverwrite, EArZipException, 15)
AR_LEAF(EArZipVersion, EArZipException, 1)
AR_LEAF(EArReadError, EArZipException, 29)
AR_LEAF(EArBBSSeekOutsideBuffer, EArZipException, 41)
AR_LEAF(EArBBSInvalidOrigin, EArZipException, 42)
AR_LEAF(EArNoCabinetDll, EArCabException, 50)
AR_LEAF(EArFCIFileOpenError, EArCabException, 51)
AR_LEAF(EArFCIFileReadError, EArCabException, 52)
AR_LEAF(EArFCIFileWriteError, EArCabException, 53)
AR_LEAF(EArFCIFileCloseError, EArCabException, 54)
AR_LEAF(EArFCIFileSeekError, EArCabException, 55)
AR_LEAF(EArFCIFileDeleteError, EArCabException, 56)
AR_LEAF(EArFCIAddFileError, EArCabException, 57)
AR_LEAF(EArFCICreateError, EArCabException, 58)
AR_LEAF(EArFDICopyError, EArCabException, 61)
AR_LEAF(EArFDICreateError, EArCabException, 62)
AR_LEAF(EArInvalidCabFile, EArCabException, 64)
AR_LEAF(EArGzipInvalid, EArGzipException, 400)
AR_LEAF(EArGzipBadCRC, EArGzipException, 401)
AR_LEAF(EArGzipBadFileSize, EArGzipException, 402)
#undef AR_LEAF

class EArVMSInvalidOrigin : public TArFormattedLeafException<EArZipException, 201> {
public:
  explicit EArVMSInvalidOrigin(int32_t origin) : TArFormattedLeafException({origin}) {}
};
class EArVMSErrorOpenSwap : public TArFormattedLeafException<EArZipException, 202> {
public:
  explicit EArVMSErrorOpenSwap(const std::string& name) : TArFormattedLeafException({name}) {}
};
class EArVMSSeekFail : public TArFormattedLeafException<EArZipException, 203> {
public:
  explicit EArVMSSeekFail(const std::string& name) : TArFormattedLeafException({name}) {}
};
class EArVMSReadFail : public TArFormattedLeafException<EArZipException, 204> {
public:
  EArVMSReadFail(int32_t count, const std::string& name) : TArFormattedLeafException({count, name}) {}
};
class EArVMSWriteFail : public TArFormattedLeafException<EArZipException, 205> {
public:
  EArVMSWriteFail(int32_t count, const std::string& name) : TArFormattedLeafException({count, name}) {}
};
class EArBBSReadTooManyBytes : public TArFormattedLeafException<EArZipException, 40> {
public:
  explicit EArBBSReadTooManyBytes(int32_t count) : TArFormattedLeafException({count}) {}
};
class EArBBSWriteTooManyBytes : public TArFormattedLeafException<EArZipException, 43> {
public:
  explicit EArBBSWriteTooManyBytes(int32_t count) : TArFormattedLeafException({count}) {}
};

// Where a failure came from, as the item-failure hook receives it.
enum TArErrorClass : uint8_t {
  ecArchiveError = 0,  // EArException family, with its ErrorCode
  ecIOError = 1,       // EInOutError, with the operating system's code
  ecFilerError = 2,
  ecFileCreateError = 3,
  ecFileOpenError = 4,
  ecCabError = 5,  // never produced by ClassifyException
  ecOther = 6,
};

void ClassifyException(const std::exception& e, TArErrorClass& errorClass, int32_t& errorCode);
// For the current exception inside a catch block; anything not derived from
// std::exception is ecOther.
void ClassifyCurrentException(TArErrorClass& errorClass, int32_t& errorCode);
