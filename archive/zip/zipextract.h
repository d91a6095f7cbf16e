// Unpacking and testing one zip item: the procedures the unzipper installs as a zip
// archive's extract and test hooks. A file is written under a temporary name in its
// folder and put in place only when the item checked out, so a failed item never
// damages the file it would have replaced. A stop asked by the user anywhere inside an
// item (a cancelled prompt, a progress hook's abort) leaves as EArUserAbort.
#pragma once
#include <cstdint>
#include <string>
#include "archive/zip/ziparchive.h"

// What decoding one item gave. The item is sound when both the CRC-32 and the count of
// bytes produced match its central record.
struct TArItemResult {
  uint32_t Crc = 0;
  int64_t Produced = 0;
};

void ExtractItemToFile(TArZipArchive& archive, TArZipItem& item, const std::string& name);
// Raises EArZipBadCRC on a checksum mismatch, or reports it through the archive's
// item-failure hook when one is set.
void ExtractItemToStream(TArZipArchive& archive, TArZipItem& item, TStream* output);
void TestItem(TArZipArchive& archive, TArZipItem& item);

TArItemResult UnstoreItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue);
TArItemResult InflateItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue);
TArItemResult UnshrinkItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue);
// Asks for a password when the archive has none; raises EArZipInvalidPassword when it
// still has none afterwards.
void EnsurePassword(TArZipArchive& archive);
// Asks the archive's need-password hook for a new password; an empty answer raises
// EArUserAbort. Without a hook nothing happens.
void RequestNewPassword(TArZipArchive& archive);
