// Zip packages: packing files and folders into a new zip (EPUB and .docx
// output) and unpacking a whole zip into a folder (Office 2007 input).
#pragma once

#include <string>
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
