// Tesseract behind a small interface.
//
// Tesseract is built with OpenMP. Its worker threads would compete with the
// conversion jobs and make recognition slower on a loaded machine, so the
// library limits OpenMP to one thread: OMP_THREAD_LIMIT=1 is put into the
// environment when the library is loaded (for any process that starts
// OpenMP later) and, because the OpenMP runtime of this process has already
// read its environment by then, nested parallel regions are switched off
// through the runtime itself before recognising.
#include "ocr.h"

#include "cancel_probe.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>

namespace parser_detail {
namespace {

__attribute__((constructor)) void LimitOpenMpAtLoad() { ::setenv("OMP_THREAD_LIMIT", "1", 1); }

void LimitOpenMp()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // max-active-levels 0 makes every parallel region run on the
        // calling thread alone, whatever num_threads asks for.
        using SetLevels = void (*)(int);
        if (auto fn = reinterpret_cast<SetLevels>(::dlsym(RTLD_DEFAULT, "omp_set_max_active_levels")))
            fn(0);
    });
}

bool HasEngData(const std::string& dir)
{
    if (dir.empty())
        return false;
    struct stat st;
    const std::string file = dir + "/eng.traineddata";
    return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

} // namespace

struct OcrEngine::Impl {
    tesseract::TessBaseAPI api;
    bool ready = false;
};

OcrEngine::OcrEngine() : impl_(std::make_unique<Impl>()) {}

OcrEngine::~OcrEngine()
{
    if (impl_ && impl_->ready)
        impl_->api.End();
}

std::string OcrEngine::DataPath()
{
    if (const char* env = std::getenv("TESSDATA_PREFIX"); env && *env) {
        std::string p = env;
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        if (HasEngData(p))
            return p;
        if (HasEngData(p + "/tessdata"))
            return p + "/tessdata";
    }
    for (const char* dir : {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata",
                            "/usr/share/tessdata", "/usr/local/share/tessdata"})
        if (HasEngData(dir))
            return dir;
    return std::string();
}

bool OcrEngine::Init(std::string& error)
{
    if (impl_->ready)
        return true;
    LimitOpenMp();
    const std::string path = DataPath();
    if (path.empty()) {
        error = "no English language data (eng.traineddata) for character recognition";
        return false;
    }
    if (impl_->api.Init(path.c_str(), "eng") != 0) {
        error = "character recognition could not load " + path + "/eng.traineddata";
        return false;
    }
    impl_->api.SetVariable("debug_file", "/dev/null");
    impl_->ready = true;
    return true;
}

bool OcrEngine::Recognise(const unsigned char* gray, int width, int height, int stride, int dpi,
                          std::vector<OcrWordPx>& words, CancelProbe* cancel)
{
    if (!impl_->ready || !gray || width <= 0 || height <= 0)
        return false;
    tesseract::TessBaseAPI& api = impl_->api;
    api.SetImage(gray, width, height, 1, stride);
    api.SetSourceResolution(dpi);
    // Tesseract asks the monitor's cancel function between the words it
    // recognises (not during the page's layout analysis).
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = [](void* probe, int) { return static_cast<CancelProbe*>(probe)->Stopped(); };
    monitor.cancel_this = cancel;
    if (api.Recognize(cancel ? &monitor : nullptr) != 0 || (cancel && cancel->Stopped())) {
        api.Clear();
        return false;
    }
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (it) {
        const auto word = tesseract::RIL_WORD;
        const auto line = tesseract::RIL_TEXTLINE;
        it->Begin();
        do {
            if (it->Empty(word))
                continue;
            std::unique_ptr<char[]> text(it->GetUTF8Text(word));
            if (!text || !*text.get())
                continue;
            OcrWordPx w;
            w.text = text.get();
            while (!w.text.empty() && (w.text.back() == ' ' || w.text.back() == '\n'))
                w.text.pop_back();
            if (w.text.empty())
                continue;
            if (!it->BoundingBox(word, &w.left, &w.top, &w.right, &w.bottom))
                continue;
            int l = 0, t = 0, r = 0, b = 0;
            if (it->BoundingBox(line, &l, &t, &r, &b)) {
                w.lineTop = t;
                w.lineBottom = b;
            } else {
                w.lineTop = w.top;
                w.lineBottom = w.bottom;
            }
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            if (it->Baseline(line, &x1, &y1, &x2, &y2)) {
                const double xc = (w.left + w.right) / 2.0;
                w.baseline = x2 != x1 ? y1 + (y2 - y1) * (xc - x1) / double(x2 - x1) : y1;
            }
            words.push_back(std::move(w));
        } while (it->Next(word));
    }
    api.Clear();
    return true;
}

} // namespace parser_detail
