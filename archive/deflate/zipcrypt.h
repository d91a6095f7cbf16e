// Traditional zip encryption: three 32-bit keys seeded from the password, a 12-byte
// header in front of the item's data whose last byte proves the password, and a
// byte-wise stream cipher. The decrypting stream serves the inflater and stored items,
// the encrypting stream the deflater.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "base/stream.h"

constexpr int32_t ArZipCryptHeaderSize = 12;

// The cipher's state; decrypting and encrypting differ only in which byte updates the
// keys (always the plain one).
struct TArZipKeys {
  uint32_t Key0 = 0, Key1 = 0, Key2 = 0;
  void Seed(const std::string& passphrase);
  void Update(uint8_t plain);
  uint8_t StreamByte() const {
    const uint32_t t = (Key2 & 0xFFFF) | 2;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  uint8_t DecryptByte(uint8_t cipher) {
    const uint8_t plain = cipher ^ StreamByte();
    Update(plain);
    return plain;
  }
  uint8_t EncryptByte(uint8_t plain) {
    const uint8_t cipher = plain ^ StreamByte();
    Update(plain);
    return cipher;
  }
};

class TArZipDecryptEngine {
public:
  bool Ready = false;
  void SeedKeys(const std::string& passphrase) { keys_.Seed(passphrase); }
  // Only the last header byte is compared, with bits 24..31 of the check value. After a
  // success the keys stand at the first data byte.
  bool VerifyHeader(const uint8_t* header, const std::string& passphrase, uint32_t checkValue);
  void Decode(void* buffer, int32_t count);

private:
  TArZipKeys keys_;
};

class TArDfDecryptStream : public TStream {
public:
  TArDfDecryptStream(TStream* inner, const std::string& passphrase, uint32_t checkValue);
  // Reads the 12 header bytes and checks them; on a wrong password the inner stream is
  // moved back over the header, so another password can be tried.
  bool VerifyStreamHeader();
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  // Passed on; the keys do not follow.
  int64_t Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }

private:
  uint32_t checkValue_;
  TArZipDecryptEngine engine_;
  std::string passphrase_;
  bool ready_ = false;
  TStream* inner_;
};

class TArZipEncryptEngine {
public:
  bool Ready = false;
  void SeedKeys(const std::string& passphrase) { keys_.Seed(passphrase); }
  // Ten random bytes, then bits 16..23 and 24..31 of the check value, all encrypted.
  void CreateHeader(uint8_t* header, const std::string& passphrase, uint32_t checkValue);
  void EncodeBuffer(void* buffer, int32_t count);

private:
  TArZipKeys keys_;
};

class TArDfEncryptStream : public TStream {
public:
  // Writes the header to the inner stream at once.
  TArDfEncryptStream(TStream* inner, const std::string& passphrase, uint32_t checkValue);
  // Encrypts a copy; the caller's bytes stay as they are.
  int32_t Write(const void* buffer, int32_t count) override;
  int32_t Read(void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }

private:
  std::vector<uint8_t> work_;
  TArZipEncryptEngine engine_;
  TStream* inner_;
};

// Decryption for the legacy zip methods, with its own password retries: the password it
// has is tried, and after a wrong one it asks for another (through the hook) and tries
// again, up to Retries times.
class TArZDecoder {
public:
  using TNeedPasswordHook = std::function<void(TArZDecoder& sender, std::string& password)>;

  TArZDecoder(const std::string& password, bool checkTopByteOnly, uint32_t checkValue, TStream* inner);
  virtual ~TArZDecoder() = default;
  // True once a password proves the header; otherwise EArZipInvalidPassword. Afterwards
  // the inner stream stands just behind the header.
  bool CheckPassword();
  // Decrypts in place, continuing from the header.
  void DecodeBuffer(void* buffer, int32_t count);
  // Replaces the password through the hook; without one, EArZipInvalidPassword.
  virtual void AskForPassword(std::string& password);

  TNeedPasswordHook OnNeedPassword;
  std::string Password;
  uint8_t Retries = 3;

private:
  bool TryHeader(int64_t headerPosition);

  TArZipKeys keys_;
  uint8_t header_[ArZipCryptHeaderSize] = {};
  uint32_t checkValue_;
  bool checkTopByteOnly_;
  TStream* inner_;
};
