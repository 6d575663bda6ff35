// Copying and deleting files by wildcard pattern. Wildcards ("*" and "?")
// apply to the last path component only; "[" and "]" are plain characters.
// Wide forms take the engine's wide paths, narrow forms UTF-8 paths; both end
// in the same file-system calls on UTF-8 bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Copies one file. The copy is written beside the destination and renamed
// into place only when every byte was read and written, so a failed copy
// leaves no truncated file and an existing destination intact. With `move`
// the source is removed after a successful copy.
bool CopyFile(const std::wstring& source, const std::wstring& dest, bool move);
bool CopyFile(const std::string& source, const std::string& dest, bool move);

// Gives `dest` the content of `source` as a second name of the same file
// where the file system allows it (no bytes copied, no new file made), else
// as CopyFile's copy, which also replaces an existing destination. For work
// files that are replaced, never rewritten in place, afterwards: a later
// change to one name would show through the other.
bool LinkOrCopyFile(const std::wstring& source, const std::wstring& dest);

// Copies every match of `pattern` into `destDir` (which ends with "/");
// folders are copied recursively, their destination folders created.
// False when nothing matches ("file not found" on stderr) or at the first
// copy that fails.
bool CopyFiles(const std::wstring& pattern, const std::wstring& destDir, bool move);
bool CopyFiles(const std::string& pattern, const std::string& destDir, bool move);

// Deletes every match of `pattern`, folders with their content, then removes
// the folder the pattern names or, failing that, the folder that holds the
// pattern (only when empty). `backslash` means the pattern separates its
// folders with "\". Symbolic links are removed, never followed. False when
// nothing matched or when neither folder could be removed.
bool DeleteFiles(const std::wstring& pattern, bool backslash);
bool DeleteFiles(const std::string& pattern);

// One entry that a pattern's last component matches.
struct PatternMatch {
    std::string name;     // the entry's name within the pattern's folder
    bool isDir = false;   // a real folder, not a link to one
    bool isLink = false;
};

// The entries of the pattern's folder that its last component matches ("*"
// and "?" on code points, "*.*" every name), "." and ".." left out, sorted by
// their bytes so that every file system gives the same order. A last
// component without wildcards names one entry. `found` tells whether the
// search found anything at all: like the classic search, "*" finds "." in an
// existing folder, so an empty folder is found.
std::vector<PatternMatch> FindPatternMatches(const std::string& pattern, bool& found);

bool DeleteFile(const std::wstring& path);
bool DeleteFile(const std::string& path);

// The "(N)" naming rule of every output: `stem` + `ext` when no file or
// folder of that path exists, else `stem` + "(N)" + `ext` for the first
// N = 1, 2, ... that is free.
std::wstring FreeOutputPath(const std::wstring& stem, const std::wstring& ext);

// Creates the file, empty, only when no file of that name exists. `taken`
// tells a name in use from a folder that cannot be written.
bool CreateExclusive(const std::wstring& path, bool& taken);

// Claims the first free name of the "(N)" rule by creating it, empty, with
// an exclusive create, so that a file appearing between the test and the
// create is never replaced. The claimed path, or empty when the folder
// cannot be written.
std::wstring ClaimOutputFile(const std::wstring& stem, const std::wstring& ext);

// Claims the first free folder name of the "(N)" rule by making the folder,
// so that two conversions never share one. The claimed path, or empty when
// the folder that should hold it cannot be written.
std::wstring ClaimOutputFolder(const std::wstring& stem);

// Writes every byte to the descriptor, going on after interrupted writes.
bool WriteAll(int fd, const void* data, std::size_t size);

// A temporary name in the folder of `path`: short whatever the file is
// called, so that a name near the file system's limit still has room for
// its temporary, hidden, and unique within the process.
std::string TemporaryNameBeside(const std::string& path);

// Has `fill` write a file's content into a new temporary file in the folder
// of `path` (a short hidden name, whatever `path` is called) and renames it
// to `path` only when `fill` returned true and the file closed cleanly: a
// failed write leaves no truncated file and an existing file as it was, and
// no temporary file either way. The file gets the permission bits `mode`
// (less the umask) from its creation on, also when it replaces one.
bool WriteThroughTemporary(const std::string& path, const std::function<bool(int fd)>& fill,
                           unsigned mode = 0666);

// Writes the bytes through a temporary file (WriteThroughTemporary), with
// the permission bits `mode`.
bool WriteFileReplacing(const std::string& path, const void* data, std::size_t size,
                        unsigned mode = 0666);
bool WriteFileReplacing(const std::wstring& path, const void* data, std::size_t size);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& out);
bool ReadWholeFile(const std::wstring& path, std::string& out);

// True when a file, folder or link of that path exists.
bool PathExists(const std::wstring& path);
bool PathExists(const std::string& path);
