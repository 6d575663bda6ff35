#include "app/filetools/zlibutil.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace filetools {

InflateResult Inflate(std::string_view in, std::string& out, std::size_t maxOut)
{
    InflateResult result;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return result;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    std::size_t inLeft = in.size();
    std::size_t produced = 0;
    char buf[16384];
    for (;;) {
        if (zs.avail_in == 0 && inLeft > 0) {
            const std::size_t n = std::min<std::size_t>(inLeft, UINT_MAX);
            zs.avail_in = static_cast<uInt>(n);
            inLeft -= n;
        }
        const std::size_t room = std::min(sizeof buf, maxOut - produced);
        if (room == 0) {
            result.truncated = true;
            break;
        }
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t got = room - zs.avail_out;
        out.append(buf, got);
        produced += got;
        if (rc == Z_STREAM_END) {
            result.complete = true;
            break;
        }
        if (rc != Z_OK || (got == 0 && zs.avail_in == 0 && inLeft == 0))
            break;
    }
    inflateEnd(&zs);
    return result;
}

bool Deflate(std::string_view in, std::string& out)
{
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    out.resize(size);
    const int rc = compress(reinterpret_cast<Bytef*>(out.data()), &size,
                            reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()));
    if (rc != Z_OK) {
        out.clear();
        return false;
    }
    out.resize(size);
    return true;
}

} // namespace filetools
