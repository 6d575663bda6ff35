// Content events: the one protocol through which every document reader that
// makes a PDF (the Word 97-2003 reader of the Word library, the Word, Excel
// and PowerPoint 2007 readers of the engine) feeds the PDF typesetter. A
// reader calls a ContentEventCallback once per event, in document order; the
// typesetter keeps its state (page, pen, open tables, current box) from one
// event to the next. Nothing is reported back.
#pragma once

#include <cstdint>

// The run properties that travel with text events and with the next-cell
// event. A default-constructed record holds the reset values that readers
// set at the start of each run. The typesetter copies the whole record into
// every piece of text it lays out, so the sender may change or free its own
// record as soon as the event returns.
struct RunStyle {
    std::uint32_t colour = 0;               // text colour, 0x00BBGGRR
    std::int32_t fontSize = 12;             // points; also the glyph width unit
    std::uint32_t backColour = 0xFFFFFF;    // highlight behind the run; 0xFFFFFF = none
    std::uint8_t bold = 0;
    std::uint8_t italic = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t underline = 0;
    std::uint32_t underlineColour = 0;
    std::int32_t align = 0;                 // line alignment: 0 or 1 left, 2 centred, 3 right
    std::int32_t vAnchor = 0;               // box or cell anchoring: 0 or 1 top, 2 middle, 3 bottom
    std::int32_t clipToLine = 0;            // non-zero: what does not fit on the line is dropped
    // Null, or the shading operand of the current table row, read by the
    // next-cell event only: one length byte (the number of column records),
    // then one 10-byte record per column whose bytes 4 to 7 hold the cell's
    // background colour (little-endian). Columns at or past the length have
    // no shading. Must stay valid until the event returns.
    const unsigned char* cellShading = nullptr;
    // Belongs to the sender; the typesetter neither reads nor interprets it.
    unsigned char senderData[40] = {};
};

// The `code` of a content event; `data`, `len` and `arg` as listed.
enum ContentEventCode : unsigned {
    // The bytes of a GIF, PNG, BMP or JPEG picture (`len` bytes; the type is
    // sniffed from them, `arg` is ignored). Every code not listed below is a
    // picture too. Pictures of other types are dropped.
    CE_PICTURE = 0,
    // NUL-terminated text (UTF-16 as char16_t for CE_TEXT_UTF16, UTF-8 for
    // CE_TEXT_UTF8); `arg` points to the RunStyle. The characters 13, 10 and
    // 11 end lines (CR LF ends one), 7 ends a table cell (outside a table it
    // is dropped). The text is copied: the sender may free it on return.
    CE_TEXT_UTF16 = 1,
    CE_TEXT_UTF8 = 2,
    CE_LINE_END = 3,      // end of line (paragraph end)
    CE_NEW_PAGE = 4,      // finish the page, begin one of the current page size
    CE_MOVE_TO = 5,       // open a new box at x = `len`, y = (int)`arg` (from the page bottom)
    CE_ROW_END = 6,       // end of table row
    CE_NEXT_CELL = 7,     // next table cell; `arg` points to the RunStyle that gives its background
    CE_TABLE = 8,         // table operation: `len` is a TableOp, `arg` its value
    CE_TABLE_END = 9,     // end of table; with none open, the page's text area returns to the margins
    CE_BOX_SIZE = 10,     // box width `len`, height `arg` in points (0 keeps either)
    CE_PAGE_SIZE = 11,    // page size `len` x `arg` points for pages begun from now on
    CE_ADVANCE = 12,      // move the pen right by `len` points (may be negative)
    CE_FILL_RECT = 13,    // filled rectangle at the pen: height `len` (0: the box height), colour `arg`
};

// Table operations of CE_TABLE. Widths and heights are in table units of
// 1/18 point.
enum TableOp : int {
    TABLE_COLUMN = 0,       // value 0: begin a table (nested in an open one); w > 0: add a column
    TABLE_BORDERS = 1,      // non-zero: the open table draws its borders
    TABLE_CELL_WIDTH = 2,   // width of the current cell (spanning columns); 0: the column's width
    TABLE_VMERGE = 3,       // 2: the next cell continues the cell above; other values do not
    TABLE_ROW_HEIGHT = 4,   // minimum height of the current row
};

// One content event. `user` is the receiving document; `arg` is wide enough
// to carry a pointer (the RunStyle of text and next-cell events).
using ContentEventCallback = void (*)(void* user, const void* data, int len, unsigned code,
                                      std::uintptr_t arg);
