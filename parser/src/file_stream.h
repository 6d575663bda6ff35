// A PDF file as a MuPDF stream that reads with pread into a buffer of its
// own. MuPDF's file stream goes through stdio, whose every seek (one per
// object read) is a system call and drops the buffer, even when the object
// lies in the bytes just read; here a seek within the buffer costs nothing.
#pragma once

extern "C" {
#include <mupdf/fitz.h>
}

namespace parser_detail {

// Opens the file read-only; throws MuPDF's error when it cannot be opened.
// The stream closes the file when it is dropped.
fz_stream* OpenFileStream(fz_context* ctx, const char* path);

} // namespace parser_detail
