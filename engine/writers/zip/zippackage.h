// Zip packages: packing files and folders into a new zip (EPUB and .docx
// output) and unpacking a whole zip into a folder (Office 2007 input).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Packs the patterns into a new zip at `zipPath` (replacing any file there
// once the zip is complete). The patterns follow `pattern` as further
// arguments of the same type and end with the marker "-1" (L"-1" for the
// wide form) or a null pointer.
//
// A pattern is a path with "/" between folders whose last part may hold the
// wildcards "*" and "?". Each file found becomes one entry named by its path
// relative to the pattern's folder part; a folder found adds its content
// below its name ("OEBPS/image/1.jpg"); folders get no entries of their own.
// Entries follow the order of the patterns and, within a folder, the order
// of the names. Every entry is deflated at level 9; with a non-empty
// `password` every entry is encrypted with traditional PKWARE encryption.
// Entry names are UTF-8.
//
// Returns true when every pattern found something and every file was added.
// A pattern that finds nothing prints "file not found. " to the standard
// output and ends the packing: the zip is written with the entries so far
// and false is returned.
bool ZipCompress(const wchar_t* zipPath, const char* password, const wchar_t* pattern, ...);
// The same with UTF-8 paths and patterns.
bool ZipCompress(const char* zipPath, const char* password, const char* pattern, ...);

// The raw deflate stream of an entry's bytes, with what the entry's headers
// need.
struct ZipDeflated {
    bool ok = false;
    std::vector<unsigned char> data;   // raw deflate stream
    std::uint64_t size = 0;            // bytes before deflating
    unsigned long crc = 0;             // CRC-32 of those bytes
};

// The deflated form of one entry, made while its bytes are still being
// written. The bytes are cut where packing a file of them would cut it, and
// each piece is deflated on a thread of its own as soon as more bytes show
// that it is not the last, so that the stream is ready soon after the last
// byte; an entry too small to be cut is held and deflated whole when it
// ends. Either way, byte for byte the stream that packing the file makes.
class ZipDeflater {
public:
    ZipDeflater();
    // Waits for the pieces under way.
    ~ZipDeflater();
    ZipDeflater(const ZipDeflater&) = delete;
    ZipDeflater& operator=(const ZipDeflater&) = delete;

    // The next bytes of the entry.
    void Append(std::string_view bytes);
    // Ends the stream and waits for every piece; false when a piece could
    // not be deflated. Appending ends with it.
    bool Finish();
    // The stream, taken out once Finish has made it (not ok before, after a
    // failure, or when taken already).
    ZipDeflated Take();

private:
    struct State;
    std::unique_ptr<State> state;
};

// As the UTF-8 form of ZipCompress without a password, where a file found at
// a path of `ready` takes the stream of its finished deflater instead of
// being deflated again, when the file holds as many bytes as the deflater
// was given (the caller gives the file the same bytes). The archive is the
// one ZipCompress would write either way.
bool ZipCompressWith(const std::string& zipPath, const std::vector<std::string>& patterns,
                     const std::map<std::string, ZipDeflater*>& ready);

// One entry of a package written by ZipWritePackage: its name (UTF-8) and
// either its bytes or, when `file` is not empty, the file that holds them.
// A stored entry is kept uncompressed and without extra fields (the first
// entry of an EPUB); every other entry is deflated at level 9.
struct ZipPackageEntry {
    std::string name;
    std::string bytes;
    std::string file;   // UTF-8 path of a regular file
    bool store = false;
};

// Writes a new zip at `zipPath` holding the entries in their order. False
// when an entry cannot be added (its file missing or not a regular file) or
// the zip cannot be written; the file at `zipPath` is then as it was.
bool ZipWritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries);

// Unpacks every entry of the zip at `zipPath` below `destDir`, creating
// `destDir` (its parent must exist) and the folders that the entry names
// hold; existing files of the same names are replaced. `destDir` gets a
// trailing "/" appended in place when it has none, so the caller's buffer
// must have room for one more character.
//
// The zip is untrusted: an entry whose name is absolute, climbs out with
// "..", or holds a part too long for a file name is skipped; nothing is
// written outside `destDir` and no link is followed below it. An archive
// that would unpack to more than 2 GiB in all fails before anything is
// written, and so does an entry that yields more bytes than it declares.
// Returns false when the zip cannot be read or an entry cannot be unpacked
// (the entries unpacked before it stay; a partly written file is removed).
bool unzipPackage(char* destDir, const char* zipPath);
