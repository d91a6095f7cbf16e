// The message table word for word, the leaf exceptions' codes, texts and groups, and
// the mapping of exceptions to error classes.
#include <gtest/gtest.h>
#include <map>
#include <new>
#include <set>
#include <sstream>
#include "archive/core/arerrors.h"
#include "archive/deflate/dfbase.h"

namespace {

// Every entry as "code|text", in table order. A changed blank or letter fails here.
const char* const kGolden = R"TABLE(
1|Cannot extract file - newer version required
2|Cannot extract file - unsupported compression method
3|Cannot extract file - no extraction support provided
4|Cannot extract file - invalid password
5|Cannot insert file - no insertion support provided
6|Invalid Reduce Factor
7|Cannot insert file - duplicates stored name
8|Cannot insert file - unsupported compression method
9|Process aborted by user
10|Archive is busy - cannot process new requests
11|Insert floppy
12|Insert the last disk in the spanned disk set
13|Spanned archives must be opened as file streams
14|Insert disk number %d of the spanned disk set
15|Cannot update an existing spanned disk set
16|Cannot make a self-extracting spanned disk set
17|Insert a blank floppy disk
18|Stream write error
19|Directory does not exist
20|Cannot inflate block
21|Invalid Stream
22|Error truncating Zip File
23|Failed CRC Check
24|Stub must be an executable
25|File not found
26|Invalid Local File Header entry
27|Archive does not exist - FileName is blank
28|Invalid file - not a PKZip file
29|Error reading archive
30|Invalid archive item index
31|Invalid archive size threshold
32|Specify spanned image file # 
33|Specify the last file name in the spanned image set
34|Image file name
35|Unhandled Archive Type
36|Spanning not supported by this Archive type
37|Insert span number %d of the spanned file set
38|Error creating Log File
40|BBS: request to read too many bytes [%d]
41|BBS: New position is outside the buffer
42|BBS: Invalid Origin value
43|BBS: request to write too many bytes [%d]
50|Cannot load cabinet.dll
51|FCI cannot open file
52|FCI cannot read file
53|FCI cannot write file
54|FCI close file error
55|FCI file seek error
56|FCI file delete error
57|FCI cannot add file
58|FCI cannot create context
59|FCI cannot flush cabinet
60|FCI cannot flush folder
61|FDI cannot enumerate files
62|FDI cannot create context
63|Invalid cab file template
64|Invalid file - not a cabinet file
80|TArSlidingWindowStream.Write: Not at end of stream
81|TArSlidingWindowStream.bsWriteChunk: seek failed
82|TArSlidingWindowStream.bsWriteChunk: write failed
83|TArSlidingWindowStream.Seek: invalid origin
84|TArSlidingWindowStream.Seek: invalid new position
100|Version %s
101|Stored
102|Shrunk
103|Reduced
104|Reduced
105|Reduced
106|Reduced
107|Imploded
108|Tokenized
109|Deflated
110|Enhanced Deflation
111|DCL Imploded
112|Best Method
113|Compressed Size: %d
114|Uncompressed Size: %d
115|Compression Method: %s
116|Compression Ratio: %2.0f%%
117|CRC: %x
118|r
119|h
120|s
121|a
122|External File Attributes: %s
123|File Type: %s
124|Text
125|Binary
126|Encryption: %s
127|Encrypted
128|Not Encrypted
129|Unknown
130|Time Stamp: %s
131|Made by Version: %f
132|Version Needed to Extract: %f
133|Comment: %s
134|*.zip
135|PKZip Archives (*.zip)|*.zip|Self Extracting Archives (*.exe)|*.exe|All Files (*.*)|*.*
136|Select File Name
137|OK
138|Cancel
139|Select Directory
140|Enter Password
141|&Password
142|&Verify
150|*.cab
151|Cabinet Archives (*.cab)|*.CAB|All Files (*.*)|*.*
152|*.txt
153|Text Files (*.txt)|*.TXT|All Files (*.*)|*.*
154|*.exe
155|Self-Extracting Zip Files (*.exe)|*.EXE|All Files (*.*)|*.*
200|VMS: request to read too many bytes [%d]
201|VMS: invalid origin %d, should be 0, 1, 2
202|VMS: Cannot open swap file %s
203|VMS: Failed to seek in swap file %s
204|VMS: Failed to read %d bytes from swap file %s
205|VMS: Failed to write %d bytes to swap file %s
206|VMS: request to write too many bytes [%d]
250|Name
251|Packed
252|Method
253|Ratio (%)
254|CRC32
255|Attributes
256|Format
257|Encrypted
258|Time Stamp
259|Size
260|Version Made
261|Version Needed
262|Path
263|Partial
264|Executable
290|None
291|MSZip
310| added 
311| deleted 
312| extracted 
313| freshened 
314| moved 
315| replaced 
316| logging 
400|Invalid Gzip
401|Bad CRC
402|Bad File Size
513|Unhandled Entity
)TABLE";

std::vector<std::pair<int32_t, std::string>> GoldenEntries() {
  std::vector<std::pair<int32_t, std::string>> out;
  std::istringstream in(kGolden);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const size_t bar = line.find('|');
    out.emplace_back(std::stoi(line.substr(0, bar)), line.substr(bar + 1));
  }
  return out;
}

TEST(MessageTable, HoldsExactlyTheGoldenEntriesInOrder) {
  const auto golden = GoldenEntries();
  const auto& table = ArMessageTable();
  ASSERT_EQ(golden.size(), 146u);
  ASSERT_EQ(table.size(), golden.size());
  for (size_t i = 0; i < golden.size(); ++i) {
    EXPECT_EQ(table[i].Code, golden[i].first) << "entry " << i;
    EXPECT_EQ(std::string(table[i].Text), golden[i].second) << "code " << golden[i].first;
  }
}

TEST(MessageTable, LookupFindsEveryCodeAndCodesAreUnique) {
  std::set<int32_t> codes;
  for (const auto& [code, text] : GoldenEntries()) {
    EXPECT_TRUE(codes.insert(code).second) << "duplicate " << code;
    std::string t = "unset";
    LookupMessage(code, t);
    EXPECT_EQ(t, text);
  }
}

TEST(MessageTable, UnknownCodeLeavesTheCallersTextAlone) {
  for (int32_t code : {39, 0, -1, 143, 207, 9999}) {
    std::string t = "keep me";
    LookupMessage(code, t);
    EXPECT_EQ(t, "keep me") << code;
  }
}

TEST(MessageTable, LogWordsKeepTheirBlanks) {
  EXPECT_EQ(ArMessage(312), " extracted ");
  EXPECT_EQ(ArMessage(316), " logging ");
  EXPECT_EQ(ArMessage(513), "Unhandled Entity");
}

struct LeafCase {
  std::function<void()> raise;
  int32_t code;
  int group;  // 0 plain, 1 zip, 2 cab, 3 gzip
};

template <class E>
std::function<void()> Raise() {
  return [] { throw E(); };
}

TEST(LeafExceptions, CarryTheirCodeTheTableTextAndTheirGroup) {
  const std::vector<LeafCase> cases = {
      {Raise<EArBadStream>(), 21, 0},
      {Raise<EArDuplicateName>(), 7, 0},
      {Raise<EArFileNotFound>(), 25, 0},
      {Raise<EArNoArchive>(), 27, 0},
      {Raise<EArUserAbort>(), 9, 0},
      {Raise<EArNoSuchDirectory>(), 19, 0},
      {Raise<EArUnhandledType>(), 35, 0},
      {Raise<EArSpanningNotSupported>(), 36, 0},
      {Raise<EArZipBadSpanStream>(), 13, 1},
      {Raise<EArZipBadCRC>(), 23, 1},
      {Raise<EArZipInvalid>(), 28, 1},
      {Raise<EArZipInvalidFactor>(), 6, 1},
      {Raise<EArZipInvalidLFH>(), 26, 1},
      {Raise<EArZipInvalidMethod>(), 2, 1},
      {Raise<EArZipInvalidPassword>(), 4, 1},
      {Raise<EArZipNoExtraction>(), 3, 1},
      {Raise<EArZipNoInsertion>(), 5, 1},
      {Raise<EArZipSpanOverwrite>(), 15, 1},
      {Raise<EArZipVersion>(), 1, 1},
      {Raise<EArReadError>(), 29, 1},
      {Raise<EArBBSSeekOutsideBuffer>(), 41, 1},
      {Raise<EArBBSInvalidOrigin>(), 42, 1},
      {Raise<EArNoCabinetDll>(), 50, 2},
      {Raise<EArFCIFileOpenError>(), 51, 2},
      {Raise<EArFCIFileReadError>(), 52, 2},
      {Raise<EArFCIFileWriteError>(), 53, 2},
      {Raise<EArFCIFileCloseError>(), 54, 2},
      {Raise<EArFCIFileSeekError>(), 55, 2},
      {Raise<EArFCIFileDeleteError>(), 56, 2},
      {Raise<EArFCIAddFileError>(), 57, 2},
      {Raise<EArFCICreateError>(), 58, 2},
      {Raise<EArFDICopyError>(), 61, 2},
      {Raise<EArFDICreateError>(), 62, 2},
      {Raise<EArInvalidCabFile>(), 64, 2},
      {Raise<EArGzipInvalid>(), 400, 3},
      {Raise<EArGzipBadCRC>(), 401, 3},
      {Raise<EArGzipBadFileSize>(), 402, 3},
  };
  for (const auto& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << "no raise for " << c.code;
    } catch (const EArException& e) {
      EXPECT_EQ(e.ErrorCode, c.code);
      EXPECT_EQ(std::string(e.what()), ArMessage(c.code));
      EXPECT_EQ(dynamic_cast<const EArZipException*>(&e) != nullptr, c.group == 1) << c.code;
      EXPECT_EQ(dynamic_cast<const EArCabException*>(&e) != nullptr, c.group == 2) << c.code;
      EXPECT_EQ(dynamic_cast<const EArGzipException*>(&e) != nullptr, c.group == 3) << c.code;
    }
  }
}

TEST(LeafExceptions, FormattedLeavesFillTheirPlaceholdersAndBelongToTheZipGroup) {
  const EArVMSReadFail read(512, "x.tmp");
  EXPECT_STREQ(read.what(), "VMS: Failed to read 512 bytes from swap file x.tmp");
  EXPECT_EQ(read.ErrorCode, 204);
  EXPECT_NE(dynamic_cast<const EArZipException*>(&read), nullptr);
  EXPECT_STREQ(EArVMSWriteFail(4096, "s").what(), "VMS: Failed to write 4096 bytes to swap file s");
  EXPECT_STREQ(EArBBSReadTooManyBytes(7).what(), "BBS: request to read too many bytes [7]");
  EXPECT_EQ(EArBBSWriteTooManyBytes(70000).ErrorCode, 43);
  EXPECT_STREQ(EArBBSWriteTooManyBytes(70000).what(), "BBS: request to write too many bytes [70000]");
  EXPECT_STREQ(EArVMSInvalidOrigin(5).what(), "VMS: invalid origin 5, should be 0, 1, 2");
  EXPECT_STREQ(EArVMSErrorOpenSwap("C:\\t\\VMS1.TMP").what(), "VMS: Cannot open swap file C:\\t\\VMS1.TMP");
  EXPECT_STREQ(EArVMSSeekFail("f").what(), "VMS: Failed to seek in swap file f");
}

TEST(Format, KeepsPlaceholdersWithoutAFittingArgument) {
  EXPECT_EQ(ArFormat("Ratio (%)", {}), "Ratio (%)");
  EXPECT_EQ(ArFormat("%d of %s", {}), "%d of %s");
  EXPECT_EQ(ArFormat("%d of %s", {"text", 3}), "%d of %s");
  EXPECT_EQ(ArFormat("%s and %d", {"a", 3}), "a and 3");
  EXPECT_EQ(ArFormat("PKBACK# %3.3d", {1}), "PKBACK# 001");
  EXPECT_EQ(ArFormat("%.2d|%x|%%|%5d", {7, 255, -42}), "07|ff|%|  -42");
  EXPECT_EQ(ArFormat("trailing %", {1}), "trailing %");
}

struct Classified {
  TArErrorClass cls;
  int32_t code;
};

template <class E>
Classified ClassifyRaised(E e) {
  Classified c{ecCabError, -7};
  try {
    throw e;
  } catch (...) {
    TArErrorClass cls;
    int32_t code;
    ClassifyCurrentException(cls, code);
    c = {cls, code};
  }
  return c;
}

void ExpectClass(Classified got, TArErrorClass cls, int32_t code, const char* what) {
  EXPECT_EQ(got.cls, cls) << what;
  EXPECT_EQ(got.code, code) << what;
}

TEST(ClassifyException, MapsEachKindToItsClassAndCode) {
  ExpectClass(ClassifyRaised(EArZipBadCRC()), ecArchiveError, 23, "bad crc");
  ExpectClass(ClassifyRaised(EArGzipBadFileSize()), ecArchiveError, 402, "gzip size");
  ExpectClass(ClassifyRaised(EArException("Path not found")), ecArchiveError, 0, "own text");
  ExpectClass(ClassifyRaised(EInOutError("io", 5)), ecIOError, 5, "in/out");
  ExpectClass(ClassifyRaised(EWriteError("Stream write error")), ecFilerError, 0, "short write");
  ExpectClass(ClassifyRaised(EReadError("Stream read error")), ecFilerError, 0, "short read");
  ExpectClass(ClassifyRaised(EFCreateError("c")), ecFileCreateError, 0, "create");
  ExpectClass(ClassifyRaised(EFOpenError("o")), ecFileOpenError, 0, "open");
  ExpectClass(ClassifyRaised(Exception("plain")), ecOther, 0, "plain");
  ExpectClass(ClassifyRaised(EArAbortProgress("Process aborted by user")), ecOther, 0, "abort progress");
  ExpectClass(ClassifyRaised(EArInflateError("bad block")), ecOther, 0, "engine error carries no code");
  ExpectClass(ClassifyRaised(EAssertionFailed("broken")), ecOther, 0, "assertion");
  ExpectClass(ClassifyRaised(EStreamError("seek")), ecOther, 0, "stream error");
  ExpectClass(ClassifyRaised(std::bad_alloc()), ecOther, 0, "bad_alloc");
  ExpectClass(ClassifyRaised(42), ecOther, 0, "not an exception object");
}

}  // namespace
