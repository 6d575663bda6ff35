#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <jpeglib.h>
}

namespace ptest {

std::string Shell(const std::string& cmd, int* status)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = ::pclose(p);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string Q(const std::string& s)
{
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "'\\''";
        else
            r += c;
    }
    return r + "'";
}

std::filesystem::path Scratch(const std::string& name)
{
    static std::atomic<int> counter{0};
    const auto dir = std::filesystem::path(TRANCEL_BINARY_DIR) / "parser_scratch" /
                     (name + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

namespace {
struct JpegErr {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};
extern "C" void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); }

// Plain frame (longjmp inside).
int DecodeInto(FILE* f, int* w, int* h, int* n, unsigned char** data)
{
    jpeg_decompress_struct cinfo;
    JpegErr err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegFail;
    *data = nullptr;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(*data);
        *data = nullptr;
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    *w = static_cast<int>(cinfo.output_width);
    *h = static_cast<int>(cinfo.output_height);
    *n = cinfo.output_components;
    const std::size_t row = static_cast<std::size_t>(*w) * *n;
    *data = static_cast<unsigned char*>(std::malloc(row * *h));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = *data + row * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 1;
}
} // namespace

Jpeg ReadJpeg(const std::string& path)
{
    Jpeg j;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return j;
    unsigned char* data = nullptr;
    if (DecodeInto(f, &j.width, &j.height, &j.components, &data)) {
        j.pixels.assign(data, data + static_cast<std::size_t>(j.width) * j.height * j.components);
        j.ok = true;
    }
    std::free(data);
    std::fclose(f);
    return j;
}

Jpeg ReadPgm(const std::string& path)
{
    Jpeg j;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> j.width >> j.height >> maxval;
    in.get();
    if (magic != "P5" || maxval != 255)
        return j;
    j.components = 1;
    j.pixels.resize(static_cast<std::size_t>(j.width) * j.height);
    in.read(reinterpret_cast<char*>(j.pixels.data()), static_cast<std::streamsize>(j.pixels.size()));
    j.ok = static_cast<bool>(in);
    return j;
}

namespace {
std::string Unescape(std::string s)
{
    const std::pair<const char*, const char*> ents[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (auto& e : ents) {
        std::size_t pos = 0;
        while ((pos = s.find(e.first, pos)) != std::string::npos) {
            s.replace(pos, std::strlen(e.first), e.second);
            pos += std::strlen(e.second);
        }
    }
    return s;
}
} // namespace

std::string Attr(const std::string& tag, const std::string& name)
{
    const std::string key = " " + name + "=\"";
    const std::size_t at = tag.find(key);
    if (at == std::string::npos)
        return std::string();
    const std::size_t begin = at + key.size();
    const std::size_t end = tag.find('"', begin);
    return end == std::string::npos ? std::string() : tag.substr(begin, end - begin);
}

std::vector<OracleWord> PdftotextWords(const std::string& pdf, int page, bool cropbox,
                                       double pageHeight)
{
    std::string cmd = "pdftotext -q -bbox-layout -f " + std::to_string(page) + " -l " +
                      std::to_string(page) + (cropbox ? " -cropbox" : "");
    cmd += ' ';
    cmd += Q(pdf);
    cmd += " - 2>/dev/null";
    const std::string html = Shell(cmd);
    std::vector<OracleWord> words;
    double height = 0;
    const std::size_t pageAt = html.find("<page ");
    if (pageAt != std::string::npos)
        height = std::stod(Attr(html.substr(pageAt, html.find('>', pageAt) - pageAt), "height"));
    if (pageHeight > 0)
        height = pageHeight;
    std::size_t pos = 0;
    while ((pos = html.find("<word ", pos)) != std::string::npos) {
        const std::size_t close = html.find('>', pos);
        const std::size_t end = html.find("</word>", close);
        if (close == std::string::npos || end == std::string::npos)
            break;
        const std::string tag = html.substr(pos, close - pos);
        OracleWord o;
        o.text = Unescape(html.substr(close + 1, end - close - 1));
        o.x0 = std::stod(Attr(tag, "xMin"));
        o.x1 = std::stod(Attr(tag, "xMax"));
        o.y0 = height - std::stod(Attr(tag, "yMax"));
        o.y1 = height - std::stod(Attr(tag, "yMin"));
        words.push_back(o);
        pos = end;
    }
    return words;
}

PageObjects Walk(Parser& p, int page)
{
    PageObjects o;
    p.SetCurrentPage(page);
    while (CollectBase* c = p.GetNextObj()) {
        o.all.push_back(c);
        if (auto* t = dynamic_cast<TextCollect*>(c))
            o.text.push_back(t);
        else if (auto* g = dynamic_cast<GraphicsCollect*>(c))
            o.graphics.push_back(g);
        else if (auto* i = dynamic_cast<ImageCollect*>(c))
            o.images.push_back(i);
        else if (auto* l = dynamic_cast<LinkCollect*>(c))
            o.links.push_back(l);
    }
    return o;
}

void WordBox(const TextCollect& t, double& x0, double& y0, double& x1, double& y1)
{
    const ParserMatrix& m = t.GetMatrix();
    const double w = t.GetTextWidth(), h = t.GetTextHeight();
    const double xs[4] = {m.e, m.e + m.a * w, m.e + m.c * h, m.e + m.a * w + m.c * h};
    const double ys[4] = {m.f, m.f + m.b * w, m.f + m.d * h, m.f + m.b * w + m.d * h};
    x0 = *std::min_element(xs, xs + 4);
    x1 = *std::max_element(xs, xs + 4);
    y0 = *std::min_element(ys, ys + 4);
    y1 = *std::max_element(ys, ys + 4);
}

} // namespace ptest
