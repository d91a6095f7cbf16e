// Traditional zip encryption: headers, the cipher both ways, and misuse.
#include <gtest/gtest.h>
#include "archive/deflate/dfbase.h"
#include "archive/core/arerrors.h"
#include "archive/deflate/zipcrypt.h"
#include "tests/archive/deflate/support.h"

namespace {
Bytes Encrypt(const Bytes& plain, const std::string& password, uint32_t check) {
  TMemoryStream out;
  TArDfEncryptStream enc(&out, password, check);
  for (size_t at = 0; at < plain.size(); at += 7777) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(7777, plain.size() - at));
    enc.WriteBuffer(plain.data() + at, n);
  }
  return out.Bytes();
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) { return e.what(); }
  return "no error";
}
}  // namespace

TEST(ZipCrypt, WhatIsEncryptedDecryptsWithTheSamePasswordAndCheckValue) {
  const Bytes plain = MakeRandom(1 << 20);
  for (const std::string& password : {std::string("k"), std::string(200, 'p')}) {
    const Bytes cipher = Encrypt(plain, password, 0xA1B2C3D4);
    ASSERT_EQ(cipher.size(), plain.size() + 12);
    EXPECT_FALSE(std::equal(plain.begin(), plain.begin() + 100, cipher.begin() + 12));
    TMemoryStream src = MemOf(cipher);
    TArDfDecryptStream dec(&src, password, 0xA1B2C3D4);
    ASSERT_TRUE(dec.VerifyStreamHeader());
    Bytes back(plain.size());
    for (size_t at = 0; at < back.size(); at += 5000)
      dec.ReadBuffer(back.data() + at, static_cast<int32_t>(std::min<size_t>(5000, back.size() - at)));
    EXPECT_TRUE(back == plain);
  }
}

TEST(ZipCrypt, OnlyTheTopByteOfTheCheckValueIsProved) {
  uint8_t header[12];
  TArZipEncryptEngine enc;
  enc.CreateHeader(header, "pw", 0x7F001234);
  TArZipDecryptEngine dec;
  EXPECT_TRUE(dec.VerifyHeader(header, "pw", 0x7FFF0000)) << "byte 10 differs, byte 11 matches";
  EXPECT_FALSE(dec.VerifyHeader(header, "pw", 0x80001234));
  EXPECT_FALSE(dec.Ready);
  const Bytes copy(header, header + 12);
  dec.VerifyHeader(header, "pw", 0x7F001234);
  EXPECT_TRUE(Bytes(header, header + 12) == copy) << "the caller's header is left as it was";
}

TEST(ZipCrypt, HeadersDifferFromOneEncryptionToTheNext) {
  const Bytes a = Encrypt(Bytes(10, 1), "same", 5), b = Encrypt(Bytes(10, 1), "same", 5);
  EXPECT_FALSE(std::equal(a.begin(), a.begin() + 10, b.begin()));
}

TEST(ZipCrypt, AWrongPasswordLeavesTheStreamAtTheHeader) {
  const Bytes cipher = Encrypt(MakeText(1000), "right", 0x12345678);
  int refused = 0;
  for (int i = 0; i < 10; ++i) {
    TMemoryStream src = MemOf(cipher);
    src.SetPosition(0);
    TArDfDecryptStream dec(&src, "wrong" + std::to_string(i), 0x12345678);
    if (!dec.VerifyStreamHeader()) {
      ++refused;
      EXPECT_EQ(src.Position(), 0);
      EXPECT_NE(MessageOf([&] {
                  char c;
                  dec.Read(&c, 1);
                }).find("TArDfDecryptStream.Read: the stream header has not been verified"),
                std::string::npos);
    }
  }
  EXPECT_GT(refused, 0);
  TMemoryStream shortSrc = MemOf(Bytes(5, 0));
  TArDfDecryptStream dec(&shortSrc, "x", 0);
  EXPECT_THROW(dec.VerifyStreamHeader(), EReadError);
}

TEST(ZipCrypt, WritingCopiesTheCallersBytesAndNothingIsWrittenForNothing) {
  TMemoryStream out;
  TArDfEncryptStream enc(&out, "pw", 0);
  EXPECT_EQ(out.Size(), 12);
  EXPECT_EQ(enc.Write("", 0), 0);
  EXPECT_EQ(out.Size(), 12);
  Bytes data = MakeText(100);
  const Bytes copy = data;
  EXPECT_EQ(enc.Write(data.data(), 100), 100);
  EXPECT_TRUE(data == copy);
  EXPECT_EQ(out.Size(), 112);
}

TEST(ZipCrypt, MisuseIsRefusedWithItsMessage) {
  uint8_t header[12] = {};
  char c = 0;
  TMemoryStream s;
  TArZipDecryptEngine dec;
  EXPECT_EQ(MessageOf([&] { dec.VerifyHeader(header, "", 0); }), "TArZipDecryptEngine.VerifyHeader: need a passphrase");
  EXPECT_EQ(MessageOf([&] { dec.Decode(&c, 1); }),
            "TArZipDecryptEngine.Decode: must successfully call VerifyHeader first");
  TArZipEncryptEngine enc;
  EXPECT_EQ(MessageOf([&] { enc.CreateHeader(header, "", 0); }), "TArZipEncryptEngine.CreateHeader: need a passphrase");
  EXPECT_EQ(MessageOf([&] { enc.EncodeBuffer(&c, 1); }),
            "TArZipEncryptEngine.EncodeBuffer: must call CreateHeader first");
  TArDfDecryptStream ds(&s, "pw", 0);
  EXPECT_EQ(MessageOf([&] { ds.Write(&c, 1); }), "TArDfDecryptStream.Write: the stream is read-only");
  TArDfEncryptStream es(&s, "pw", 0);
  EXPECT_EQ(MessageOf([&] { es.Read(&c, 1); }), "TArDfEncryptStream.Read: the stream is write-only");
}

namespace {
// An encrypted item's bytes whose header proves `check`, behind a few bytes of prefix. The
// header's random bytes let a wrong password pass the one-byte check once in 256 headers,
// so the item is made again until none of the wrong passwords these tests try passes.
TMemoryStream ItemAfterPrefix(const std::string& password, uint32_t check, const Bytes& plain) {
  static const char* const kWrongOnes[] = {"wrong", "nope", "x", "still wrong 1", "still wrong 2", "still wrong 3"};
  for (;;) {
    TMemoryStream s;
    s.WriteBuffer("PREFIX", 6);
    TArDfEncryptStream enc(&s, password, check);
    enc.WriteBuffer(plain.data(), static_cast<int32_t>(plain.size()));
    uint8_t header[ArZipCryptHeaderSize];
    s.SetPosition(6);
    s.ReadBuffer(header, ArZipCryptHeaderSize);
    bool ambiguous = false;
    for (const char* wrong : kWrongOnes) {
      TArZipDecryptEngine probe;
      ambiguous = ambiguous || (password != wrong && probe.VerifyHeader(header, wrong, check));
    }
    s.SetPosition(6);
    if (!ambiguous) return s;
  }
}
}  // namespace

TEST(ZDecoder, TheRightPasswordDecryptsFromBehindTheHeader) {
  const Bytes plain = MakeText(5000);
  TMemoryStream s = ItemAfterPrefix("legacy", 0xCAFE1234, plain);
  TArZDecoder dec("legacy", false, 0xCAFE1234, &s);
  EXPECT_TRUE(dec.CheckPassword());
  EXPECT_EQ(s.Position(), 18);
  Bytes data(plain.size());
  s.ReadBuffer(data.data(), static_cast<int32_t>(data.size()));
  dec.DecodeBuffer(data.data(), static_cast<int32_t>(data.size()));
  EXPECT_TRUE(data == plain);
}

TEST(ZDecoder, WithoutTheTopByteFlagBothCheckBytesMustMatch) {
  const Bytes plain = MakeText(100);
  // The header proves 0xCAFE....; a check value that differs only in bits 16..23 passes
  // the top-byte test and fails the full one.
  TMemoryStream a = ItemAfterPrefix("pw", 0xCAFE0000, plain);
  TArZDecoder topOnly("pw", true, 0xCA000000, &a);
  EXPECT_TRUE(topOnly.CheckPassword());
  TMemoryStream b = ItemAfterPrefix("pw", 0xCAFE0000, plain);
  TArZDecoder both("pw", false, 0xCA000000, &b);
  both.Retries = 1;
  EXPECT_THROW(both.CheckPassword(), EArZipInvalidPassword);
}

TEST(ZDecoder, WrongPasswordsAskTheHookEachTimeAndEndInTheInvalidPasswordError) {
  const Bytes plain = MakeText(100);
  TMemoryStream s = ItemAfterPrefix("right", 0x11223344, plain);
  TArZDecoder dec("wrong", false, 0x11223344, &s);
  std::vector<std::string> asked;
  dec.OnNeedPassword = [&](TArZDecoder&, std::string& pw) {
    asked.push_back(pw);
    pw = "still wrong " + std::to_string(asked.size());
  };
  try {
    dec.CheckPassword();
    FAIL();
  } catch (const EArZipInvalidPassword& e) {
    EXPECT_EQ(e.ErrorCode, 4);
    EXPECT_STREQ(e.what(), "Cannot extract file - invalid password");
  }
  EXPECT_EQ(asked.size(), 3u);
  // The hook's answer is tried: a right one on the second question succeeds.
  TMemoryStream t = ItemAfterPrefix("right", 0x11223344, plain);
  TArZDecoder again("wrong", false, 0x11223344, &t);
  int calls = 0;
  again.OnNeedPassword = [&](TArZDecoder&, std::string& pw) { pw = ++calls == 2 ? "right" : "nope"; };
  EXPECT_TRUE(again.CheckPassword());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(t.Position(), 18);
}

TEST(ZDecoder, NoRetriesOrNoHookMeanNoSecondChance) {
  TMemoryStream s = ItemAfterPrefix("right", 1u << 24, MakeText(10));
  int asked = 0;
  TArZDecoder none("wrong", true, 1u << 24, &s);
  none.Retries = 0;
  none.OnNeedPassword = [&](TArZDecoder&, std::string&) { ++asked; };
  EXPECT_THROW(none.CheckPassword(), EArZipInvalidPassword);
  EXPECT_EQ(asked, 0);
  s.SetPosition(6);
  TArZDecoder right("right", true, 1u << 24, &s);
  right.Retries = 0;
  EXPECT_TRUE(right.CheckPassword()) << "the password it has is still tried";
  s.SetPosition(6);
  TArZDecoder noHook("wrong", false, 1u << 24, &s);
  EXPECT_THROW(noHook.CheckPassword(), EArZipInvalidPassword);
  TMemoryStream shortStream;
  shortStream.WriteBuffer("abc", 3);
  shortStream.SetPosition(0);
  TArZDecoder cut("x", true, 0, &shortStream);
  cut.Retries = 1;
  EXPECT_THROW(cut.CheckPassword(), EArZipInvalidPassword) << "a header cut short is a failed attempt";
}
