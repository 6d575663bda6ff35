// Deflating zip entries ahead of the archive into the raw deflate streams
// that libzip's level 9 makes: packing hands libzip the finished streams to
// copy. Deflating needs zlib only, so it is done in the engine (the .docx
// writer deflates its body while writing it); packing, which needs libzip,
// is done in the formats module and calls these.
#pragma once

#include "engine/writers/zip/zippackage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Entries of at least this many bytes are deflated in pieces side by side,
// as a ZipDeflater cuts them; smaller ones are deflated whole.
constexpr std::size_t kDeflateInPiecesFrom = std::size_t(2) << 20;

// The bytes deflated whole.
ZipDeflated DeflateBytes(const std::string& bytes);
// The file of `size` bytes deflated in the pieces a ZipDeflater cuts, read
// a piece at a time; false when it cannot be read or no longer holds
// `size` bytes.
bool DeflateFile(const std::string& path, std::uint64_t size, ZipDeflated& result);
// Item i of `count` deflated whole, on several threads, each keeping one
// level-9 stream for all its items: an archive is written at the end of a
// conversion, on its own, and deflating was most of that time.
// `bytesOf(i, scratch)` gives the item's bytes (read into `scratch` or held
// elsewhere), or null for an item that is not deflated here (left not ok).
std::vector<ZipDeflated> DeflateAhead(std::size_t count,
                                      const std::function<const std::string*(std::size_t, std::string&)>& bytesOf);
