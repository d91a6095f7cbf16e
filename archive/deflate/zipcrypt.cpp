#include "archive/deflate/zipcrypt.h"
#include <cstring>
#include <random>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"
#include "archive/deflate/dfbase.h"

namespace {
[[noreturn]] void Misuse(const char* text) { throw EArDfAssertionFailed(text); }

uint8_t RandomByte() {
  static thread_local std::random_device source;
  return static_cast<uint8_t>(source() & 0xFF);
}
}  // namespace

void TArZipKeys::Seed(const std::string& passphrase) {
  Key0 = 0x12345678u;
  Key1 = 0x23456789u;
  Key2 = 0x34567890u;
  for (const char c : passphrase) Update(static_cast<uint8_t>(c));
}

void TArZipKeys::Update(uint8_t plain) {
  Key0 = UpdateCrc32Byte(plain, Key0);
  Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
  Key2 = UpdateCrc32Byte(static_cast<uint8_t>(Key1 >> 24), Key2);
}

bool TArZipDecryptEngine::VerifyHeader(const uint8_t* header, const std::string& passphrase, uint32_t checkValue) {
  if (passphrase.empty()) Misuse("TArZipDecryptEngine.VerifyHeader: need a passphrase");
  SeedKeys(passphrase);
  uint8_t last = 0;
  for (int32_t i = 0; i < ArZipCryptHeaderSize; ++i) last = keys_.DecryptByte(header[i]);
  Ready = last == static_cast<uint8_t>(checkValue >> 24);
  return Ready;
}

void TArZipDecryptEngine::Decode(void* buffer, int32_t count) {
  if (!Ready) Misuse("TArZipDecryptEngine.Decode: must successfully call VerifyHeader first");
  auto* p = static_cast<uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i) p[i] = keys_.DecryptByte(p[i]);
}

TArDfDecryptStream::TArDfDecryptStream(TStream* inner, const std::string& passphrase, uint32_t checkValue)
    : checkValue_(checkValue), passphrase_(passphrase), inner_(inner) {}

bool TArDfDecryptStream::VerifyStreamHeader() {
  uint8_t header[ArZipCryptHeaderSize];
  inner_->ReadBuffer(header, ArZipCryptHeaderSize);
  ready_ = engine_.VerifyHeader(header, passphrase_, checkValue_);
  if (!ready_) inner_->Seek(-ArZipCryptHeaderSize, soFromCurrent);
  return ready_;
}

int32_t TArDfDecryptStream::Read(void* buffer, int32_t count) {
  if (!ready_) Misuse("TArDfDecryptStream.Read: the stream header has not been verified");
  const int32_t n = inner_->Read(buffer, count);
  if (n > 0) engine_.Decode(buffer, n);
  return n;
}

int32_t TArDfDecryptStream::Write(const void*, int32_t) { Misuse("TArDfDecryptStream.Write: the stream is read-only"); }

void TArZipEncryptEngine::CreateHeader(uint8_t* header, const std::string& passphrase, uint32_t checkValue) {
  if (passphrase.empty()) Misuse("TArZipEncryptEngine.CreateHeader: need a passphrase");
  SeedKeys(passphrase);
  for (int32_t i = 0; i < 10; ++i) header[i] = keys_.EncryptByte(RandomByte());
  SeedKeys(passphrase);
  for (int32_t i = 0; i < 10; ++i) header[i] = keys_.EncryptByte(header[i]);
  header[10] = keys_.EncryptByte(static_cast<uint8_t>(checkValue >> 16));
  header[11] = keys_.EncryptByte(static_cast<uint8_t>(checkValue >> 24));
  Ready = true;
}

void TArZipEncryptEngine::EncodeBuffer(void* buffer, int32_t count) {
  if (!Ready) Misuse("TArZipEncryptEngine.EncodeBuffer: must call CreateHeader first");
  auto* p = static_cast<uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i) p[i] = keys_.EncryptByte(p[i]);
}

TArDfEncryptStream::TArDfEncryptStream(TStream* inner, const std::string& passphrase, uint32_t checkValue)
    : inner_(inner) {
  uint8_t header[ArZipCryptHeaderSize];
  engine_.CreateHeader(header, passphrase, checkValue);
  inner_->WriteBuffer(header, ArZipCryptHeaderSize);
}

int32_t TArDfEncryptStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (work_.size() < static_cast<size_t>(count)) work_.assign(static_cast<size_t>(count), 0);
  std::memcpy(work_.data(), buffer, static_cast<size_t>(count));
  engine_.EncodeBuffer(work_.data(), count);
  return inner_->Write(work_.data(), count);
}

int32_t TArDfEncryptStream::Read(void*, int32_t) { Misuse("TArDfEncryptStream.Read: the stream is write-only"); }

TArZDecoder::TArZDecoder(const std::string& password, bool checkTopByteOnly, uint32_t checkValue, TStream* inner)
    : Password(password), checkValue_(checkValue), checkTopByteOnly_(checkTopByteOnly), inner_(inner) {}

bool TArZDecoder::TryHeader(int64_t headerPosition) {
  keys_.Seed(Password);
  inner_->Seek(headerPosition, soFromBeginning);
  int32_t got = 0;
  while (got < ArZipCryptHeaderSize) {
    const int32_t n = inner_->Read(header_ + got, ArZipCryptHeaderSize - got);
    if (n <= 0) return false;  // a short header proves nothing
    got += n;
  }
  for (uint8_t& b : header_) b = keys_.DecryptByte(b);
  return header_[11] == static_cast<uint8_t>(checkValue_ >> 24) &&
         (checkTopByteOnly_ || header_[10] == static_cast<uint8_t>(checkValue_ >> 16));
}

bool TArZDecoder::CheckPassword() {
  const int64_t headerPosition = inner_->Seek(0, soFromCurrent);
  // Try, then ask and try again: every answer the hook gives is tried, and the password
  // the decoder has is tried also when no retries are allowed, as for every other item.
  for (int32_t attempt = 0;; ++attempt) {
    if (TryHeader(headerPosition)) return true;
    if (attempt >= Retries) throw EArZipInvalidPassword();
    AskForPassword(Password);
  }
}

void TArZDecoder::DecodeBuffer(void* buffer, int32_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i) p[i] = keys_.DecryptByte(p[i]);
}

void TArZDecoder::AskForPassword(std::string& password) {
  if (!OnNeedPassword) throw EArZipInvalidPassword();
  OnNeedPassword(*this, password);
}
