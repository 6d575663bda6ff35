// Constants of the compound file format (structured storage, version 3 and
// 4): header fields, special sector numbers, directory entry layout.
#pragma once

#include <cstdint>

namespace scrivlet::cfb {

inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

inline constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
inline constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
inline constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;   // sector numbers lie below this
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

inline constexpr std::uint32_t kHeaderSize = 512;
inline constexpr std::uint32_t kHeaderDifatSlots = 109;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::uint32_t kDirEntrySize = 128;

// Header field offsets.
inline constexpr unsigned kHdrMajorVersion = 0x1A;
inline constexpr unsigned kHdrSectorShift = 0x1E;
inline constexpr unsigned kHdrMiniSectorShift = 0x20;
inline constexpr unsigned kHdrDirSectors = 0x28;
inline constexpr unsigned kHdrFatSectors = 0x2C;
inline constexpr unsigned kHdrFirstDirSector = 0x30;
inline constexpr unsigned kHdrMiniCutoff = 0x38;
inline constexpr unsigned kHdrFirstMiniFat = 0x3C;
inline constexpr unsigned kHdrMiniFatSectors = 0x40;
inline constexpr unsigned kHdrFirstDifat = 0x44;
inline constexpr unsigned kHdrDifatSectors = 0x48;
inline constexpr unsigned kHdrDifat = 0x4C;

// Directory entry field offsets.
inline constexpr unsigned kDirNameLength = 64;
inline constexpr unsigned kDirType = 66;
inline constexpr unsigned kDirColor = 67;
inline constexpr unsigned kDirLeft = 68;
inline constexpr unsigned kDirRight = 72;
inline constexpr unsigned kDirChild = 76;
inline constexpr unsigned kDirClassId = 80;
inline constexpr unsigned kDirStart = 116;
inline constexpr unsigned kDirSize = 120;

inline constexpr std::uint8_t kTypeEmpty = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;

// The longest entry name, in UTF-16 units without the terminator.
inline constexpr std::size_t kMaxNameLength = 31;

} // namespace scrivlet::cfb
