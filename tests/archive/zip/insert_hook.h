// The insert hooks of a compressing component, built on this library's own engine: the
// tests and the benchmark add files to zip archives through them. Each item gets its
// method, flags, CRC, sizes, version, date, time and attributes from the hook.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "archive/deflate/dfbase.h"
#include "archive/zip/ziparchive.h"

struct TInsertSettings {
  uint8_t Method = 8;       // 0 stored, 8 deflate, 9 deflate64
  char Preset = 'n';        // the deflate benchmark's settings: 'f'astest, 'n'ormal, 'm'aximum
  std::string Password;     // traditional encryption when set
  bool Descriptor = false;  // general purpose bit 3: sizes and CRC follow the data
  uint16_t Date = 0x5A21;   // 2025-01-01
  uint16_t Time = 0x6000;   // 12:00:00
  uint32_t Attributes = 0x20;
};

void ApplyDeflatePreset(TArDeflateHelper& helper, char preset);
// Compresses the rest of source into output and describes the result in item.
void CompressInto(TArZipItem& item, TStream& source, TStream& output, const TInsertSettings& settings);
// Both hooks: files come from the item's SourcePath, streams from the archive's
// SourceStream (read from its start).
void InstallInsertHooks(TArZipArchive& archive, std::function<TInsertSettings(const TArZipItem&)> settingsOf);
