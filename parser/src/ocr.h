// Character recognition of rendered pages with Tesseract (English).
#pragma once

#include <string>
#include <vector>

class CancelProbe;

namespace parser_detail {

// One recognised word, in pixels of the image (y downward).
struct OcrWordPx {
    std::string text; // UTF-8, no surrounding spaces
    int left = 0, top = 0, right = 0, bottom = 0;
    int lineTop = 0, lineBottom = 0;
    double baseline = -1.0; // y of the line's baseline under the word; < 0 when unknown
};

// The entry points of the recognition module (libparser_ocr.so, loaded on
// first use), which the module hands out through its one exported function,
// ParserOcrModule. The version changes whenever this table does, so that a
// module of another build is refused rather than called wrongly.
constexpr int kOcrModuleVersion = 2;
struct OcrModule {
    int version;
    void* (*create)();
    void (*destroy)(void* engine);
    bool (*init)(void* engine, const std::string& dataPath, std::string& error);
    bool (*recognise)(void* engine, const unsigned char* gray, int width, int height, int stride,
                      int dpi, std::vector<OcrWordPx>& words, CancelProbe* cancel);
};

// The module's file name, found next to the parser library.
constexpr const char* kOcrModuleFile = "libparser_ocr.so";

class OcrEngine {
public:
    OcrEngine();
    ~OcrEngine();
    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

    // Loads the recognition module and the English language data (once).
    // False, with a message, when either cannot be found or loaded.
    bool Init(std::string& error);

    // Recognises the words of an 8-bit grey image. `cancel` (may be null)
    // is asked between words; a request to stop ends the recognition with
    // false and no words.
    bool Recognise(const unsigned char* gray, int width, int height, int stride, int dpi,
                   std::vector<OcrWordPx>& words, CancelProbe* cancel = nullptr);

    // The folder whose eng.traineddata is used: TESSDATA_PREFIX (or its
    // "tessdata" subfolder) when it holds the file, otherwise the system's.
    // Empty when none is found.
    static std::string DataPath();

private:
    const OcrModule* module_ = nullptr;
    void* engine_ = nullptr;
    bool ready_ = false;
};

} // namespace parser_detail
