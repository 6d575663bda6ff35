// Character recognition of rendered pages with Tesseract (English).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace parser_detail {

class CancelProbe;

// One recognised word, in pixels of the image (y downward).
struct OcrWordPx {
    std::string text; // UTF-8, no surrounding spaces
    int left = 0, top = 0, right = 0, bottom = 0;
    int lineTop = 0, lineBottom = 0;
    double baseline = -1.0; // y of the line's baseline under the word; < 0 when unknown
};

class OcrEngine {
public:
    OcrEngine();
    ~OcrEngine();
    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

    // Loads the English language data (once). False, with a message, when
    // the data cannot be found or loaded.
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
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace parser_detail
