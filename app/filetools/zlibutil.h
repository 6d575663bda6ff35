// Flate (zlib) decoding and encoding of whole buffers, for the page counter's
// streams and compressed SWF bodies. Sizes are bounded by the caller so that
// a small hostile stream cannot make us allocate without limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace filetools {

struct InflateResult {
    bool complete = false;  // the zlib stream ended properly
    bool truncated = false; // output stopped at the caller's limit
};

// Appends the decoded bytes of the zlib stream `in` to `out`, at most
// `maxOut` bytes. A damaged stream keeps what was decoded before the damage.
InflateResult Inflate(std::string_view in, std::string& out, std::size_t maxOut);

// The zlib stream of `in` at the default level; false when zlib fails.
bool Deflate(std::string_view in, std::string& out);

} // namespace filetools
