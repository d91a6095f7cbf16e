// Unpacking and testing one zip item: the procedures the unzipper installs as a zip
// archive's extract and test hooks. A file is written under a temporary name in its
// folder and put in place only when the item checked out, so a failed item never
// damages the file it would have replaced.
#pragma once
#include <cstdint>
#include <string>
#include "archive/zip/ziparchive.h"

void ExtractItemToFile(TArZipArchive& archive, TArZipItem& item, const std::string& name);
// Raises EArZipBadCRC on a checksum mismatch, or reports it through the archive's
// item-failure hook when one is set.
void ExtractItemToStream(TArZipArchive& archive, TArZipItem& item, TStream* output);
void TestItem(TArZipArchive& archive, TArZipItem& item);

uint32_t UnstoreItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue);
uint32_t InflateItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue);
uint32_t UnshrinkItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue);
void EnsurePassword(TArZipArchive& archive, int32_t& requestCount, bool& abort);
void RequestNewPassword(TArZipArchive& archive, bool& abort);
