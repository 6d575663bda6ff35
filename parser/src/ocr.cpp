// Character recognition: the engine behind OcrEngine lives in a module of
// its own (ocr_module.cpp), loaded the first time a job asks for
// recognition, so that Tesseract and the libraries it needs are mapped only
// by processes that recognise text.
#include "ocr.h"

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>

namespace parser_detail {
namespace {

// Tesseract is built with OpenMP, whose worker threads would compete with
// the conversion jobs: a process that starts OpenMP later (a recognition
// tool run by a job or a test) is limited to one thread.
__attribute__((constructor)) void LimitOpenMpAtLoad() { ::setenv("OMP_THREAD_LIMIT", "1", 1); }

bool HasEngData(const std::string& dir)
{
    if (dir.empty())
        return false;
    struct stat st;
    const std::string file = dir + "/eng.traineddata";
    return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

struct Loaded {
    const OcrModule* module = nullptr;
    std::string error;
};

// Loads the module once for the process: from the folder of this library,
// else by name through the loader's search path. It stays loaded (its
// engines may live in any parser until the end).
const Loaded& LoadModule()
{
    static Loaded loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = nullptr;
        Dl_info self{};
        if (::dladdr(reinterpret_cast<void*>(&HasEngData), &self) && self.dli_fname) {
            std::string dir = self.dli_fname;
            const std::size_t slash = dir.rfind('/');
            dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
            if (!dir.empty())
                handle = ::dlopen((dir + kOcrModuleFile).c_str(), RTLD_NOW | RTLD_GLOBAL);
        }
        if (!handle)
            handle = ::dlopen(kOcrModuleFile, RTLD_NOW | RTLD_GLOBAL);
        if (!handle) {
            const char* why = ::dlerror();
            loaded.error = std::string("character recognition is not available: ") +
                           (why ? why : kOcrModuleFile);
            return;
        }
        using Entry = const OcrModule* (*)();
        auto entry = reinterpret_cast<Entry>(::dlsym(handle, "ParserOcrModule"));
        const OcrModule* module = entry ? entry() : nullptr;
        if (!module || module->version != kOcrModuleVersion) {
            loaded.error = std::string("character recognition is not available: ") + kOcrModuleFile +
                           " does not match this program";
            return;
        }
        loaded.module = module;
    });
    return loaded;
}

} // namespace

OcrEngine::OcrEngine() = default;

OcrEngine::~OcrEngine()
{
    if (module_ && engine_)
        module_->destroy(engine_);
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
    if (ready_)
        return true;
    if (!module_) {
        const Loaded& loaded = LoadModule();
        if (!loaded.module) {
            error = loaded.error;
            return false;
        }
        module_ = loaded.module;
    }
    if (!engine_) {
        engine_ = module_->create();
        if (!engine_) {
            error = "character recognition could not start";
            return false;
        }
    }
    const std::string path = DataPath();
    if (path.empty()) {
        error = "no English language data (eng.traineddata) for character recognition";
        return false;
    }
    ready_ = module_->init(engine_, path, error);
    return ready_;
}

bool OcrEngine::Recognise(const unsigned char* gray, int width, int height, int stride, int dpi,
                          std::vector<OcrWordPx>& words, CancelProbe* cancel)
{
    if (!ready_)
        return false;
    return module_->recognise(engine_, gray, width, height, stride, dpi, words, cancel);
}

} // namespace parser_detail
