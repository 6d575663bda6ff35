// Tesseract, in a module of its own that the parser loads only when a job
// asks for character recognition: a process that never recognises text
// does not map Tesseract and the libraries behind it.
//
// Tesseract is built with OpenMP. Its worker threads would compete with the
// conversion jobs and make recognition slower on a loaded machine, so
// nested parallel regions are switched off through the OpenMP runtime
// before recognising (the parser also puts OMP_THREAD_LIMIT=1 into the
// environment, for any process that starts OpenMP later).
#include "ocr.h"

#include "parser/cancel_probe.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <cmath>
#include <dlfcn.h>
#include <memory>
#include <mutex>

namespace parser_detail {
namespace {

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

struct Engine {
    tesseract::TessBaseAPI api;
    bool ready = false;

    ~Engine()
    {
        if (ready)
            api.End();
    }
};

void* Create()
{
    return new (std::nothrow) Engine;
}

void Destroy(void* engine)
{
    delete static_cast<Engine*>(engine);
}

bool Init(void* engine, const std::string& path, std::string& error)
{
    auto* e = static_cast<Engine*>(engine);
    if (e->ready)
        return true;
    LimitOpenMp();
    if (e->api.Init(path.c_str(), "eng") != 0) {
        error = "character recognition could not load " + path + "/eng.traineddata";
        return false;
    }
    e->api.SetVariable("debug_file", "/dev/null");
    e->ready = true;
    return true;
}

bool Recognise(void* engine, const unsigned char* gray, int width, int height, int stride,
               int dpi, std::vector<OcrWordPx>& words, CancelProbe* cancel)
{
    auto* e = static_cast<Engine*>(engine);
    if (!e->ready || !gray || width <= 0 || height <= 0)
        return false;
    tesseract::TessBaseAPI& api = e->api;
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

const OcrModule kModule{kOcrModuleVersion, Create, Destroy, Init, Recognise};

} // namespace
} // namespace parser_detail

extern "C" __attribute__((visibility("default"))) const parser_detail::OcrModule* ParserOcrModule()
{
    return &parser_detail::kModule;
}
