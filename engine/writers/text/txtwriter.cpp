#include "engine/writers/text/txtwriter.h"

#include "engine/layout/book.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/page.h"
#include "engine/layout/strutil.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr const char* kLineEnd = "\r\n";
// Collected text beyond this is set aside after the page. The buffer is
// made room for once, this much and a page more, so that it is not grown
// (and briefly held twice) as the text comes in. Every byte of it is
// touched before the first set-aside, and it is held the whole job: a
// quarter of a megabyte more took as much memory as a page model on every
// analysing thread, and saved nothing but a few writes.
constexpr std::size_t kSetAsideAt = 64 << 10;
constexpr std::size_t kPageRoom = 64 << 10;

// An unnamed file in the job's work folder (the system's temporary folder
// when there is none): made and unlinked at once, it disappears with its
// descriptor whatever happens to the job.
int UnnamedFile()
{
    std::string folder = utf8::FromWide(GlobalEnum::tmppath);
    if (folder.empty())
        folder = "/tmp/";
    if (folder.back() != '/')
        folder += '/';
    std::string name = folder + ".text-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

} // namespace

TxtWriter::~TxtWriter()
{
    if (spill >= 0)
        ::close(spill);
}

bool TxtWriter::setAside()
{
    if (spillFailed)
        return false;
    if (spill < 0)
        spill = UnnamedFile();
    if (spill < 0 || !WriteAll(spill, buffer.data(), buffer.size())) {
        spillFailed = true;   // the text stays in memory
        return false;
    }
    buffer.clear();
    return true;
}

void TxtWriter::write(Book* book)
{
    const int count = book->CountPages();
    buffer.reserve(kSetAsideAt + kPageRoom);
    for (int n = 1; n <= count; ++n) {
        Page* page = book->GetPage(n - 1);
        if (!page)
            break;   // cancelled
        page->write(nullptr);
        buffer += kLineEnd;
        buffer += "========";
        buffer += int2str(n);
        buffer += "========";
        buffer += "\r\n\r\n";
        if (buffer.size() >= kSetAsideAt)
            setAside();
    }
}

void TxtWriter::writePage(void*, Page* page)
{
    for (Block* b : page->GetBlock()) {
        b->Write(nullptr);
        buffer += kLineEnd;
    }
}

void TxtWriter::appendRunText(const std::string& s)
{
    // Runs of bytes that are not control characters go in whole.
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto u = static_cast<unsigned char>(s[i]);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
            buffer.append(s, start, i - start);
            start = i + 1;
        }
    }
    buffer.append(s, start, std::string::npos);
}

void TxtWriter::writeText(void*, TextBlock* block)
{
    const double blockX = block->getX();
    const double blockRight = blockX + block->getWidth();
    const Text* prev = nullptr;
    double lineY = 0;
    double prevRight = 0;
    double prevHeight = 0;
    block->returnTheFirst();
    while (Text* t = block->getCurrentElement()) {
        if (!prev) {
            lineY = t->y;
        } else {
            const double d = t->y - lineY;
            if (!(d > -1 && d < 1)) {
                const bool indented = t->x - blockX > t->height;
                const bool leadingSpaces = t->text.size() >= 4 && t->text.compare(0, 3, "   ") == 0;
                const bool shortLine = blockRight > prevRight + 5.0 * prevHeight;
                if (indented || leadingSpaces || shortLine) {
                    buffer += kLineEnd;
                } else if (const LineJoin join = JoinAtLineEnd(prev->text, t->text);
                           join != LineJoin::Space) {
                    // A word broken by a hyphen at the end of the line is
                    // whole again: no space, and no hyphen where it goes on
                    // in lower case.
                    if (!buffer.empty() && buffer.back() == ' ')
                        buffer.pop_back();
                    if (join == LineJoin::DropHyphen)
                        DropLineEndHyphen(buffer);
                }
                lineY = t->y;
            }
        }
        appendRunText(t->text);
        buffer += ' ';
        prevRight = t->x + t->width;
        prevHeight = t->height;
        prev = t;
        block->setNext();
    }
}

void TxtWriter::writeTable(void*, TableBlock* block)
{
    for (TableBlock::TableR* row : block->getRows())
        row->Write(nullptr);
}

void TxtWriter::writeTableR(void*, TableBlock::TableR* row)
{
    for (TableBlock::TableCol* cell : row->getCols())
        cell->Write(nullptr);
}

void TxtWriter::writeTableCol(void*, TableBlock::TableCol* cell)
{
    if (TextBlock* b = cell->getBlock())
        b->Write(nullptr);
}

std::wstring TxtWriter::save(const std::wstring& dir, const std::wstring& name)
{
    const std::wstring path = ClaimOutputFile(dir + name, L".txt");
    if (path.empty())
        return path;
    const bool written = WriteThroughTemporary(utf8::FromWide(path), [this](int fd) {
        if (spill >= 0) {
            // The set-aside text first, then what followed it.
            char chunk[1 << 16];
            off_t at = 0;
            for (;;) {
                const ssize_t n = ::pread(spill, chunk, sizeof chunk, at);
                if (n < 0)
                    return false;
                if (n == 0)
                    break;
                if (!WriteAll(fd, chunk, static_cast<std::size_t>(n)))
                    return false;
                at += n;
            }
        }
        return WriteAll(fd, buffer.data(), buffer.size());
    });
    if (!written) {
        DeleteFile(path);
        return std::wstring();
    }
    return path;
}
