// PDF parser library: loads a PDF, reports the objects of its pages (text
// runs, vector paths, pictures, links) in drawing order, renders pages and
// groups of objects to JPEG, and recognises the text of scanned pages.
//
// Geometry. All coordinates are in points (1/72 inch) on the page as it is
// displayed: x grows to the right from the left edge, y grows upward from the
// bottom edge of the visible page box. Rotated pages (/Rotate) and crop boxes
// that do not start at the origin come out as they render, so a /Rotate 90
// portrait page is reported landscape.
//
// Strings. Text that comes out of a page (runs, font names, link URIs) is
// UTF-8 in std::string. Paths are wide strings; they are turned into UTF-8
// for the file system, whatever the process locale.
//
// Errors. Load throws ParserError when a file cannot be opened; every other
// operation reports failure through its result and never throws (except
// std::bad_alloc). Damaged files never crash the process.
//
// Threads. A Parser object is used by one thread at a time. Several Parser
// objects may work at the same time on different threads: each owns its own
// rendering context. The only process-wide state is the set of folders given
// to InitParserStaticParam.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define PARSER_API __attribute__((visibility("default")))
#else
#define PARSER_API
#endif

namespace parser_detail {
struct ParserImpl;
struct PageTreeMap;
struct ObjectAccess;
struct DrawRef;
struct ImageSource;
} // namespace parser_detail

// The one error class of the library, thrown by Parser::Load.
class PARSER_API ParserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A colour of three channels, each from 0 to 1 (sRGB).
struct ParserColor {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

// A dash pattern in points: the phase, then `count` (0 to 4) lengths that
// alternate dash and gap. count 0 means a solid line.
struct ParserLinePattern {
    double phase = 0.0;
    int count = 0;
    double entries[4] = {0.0, 0.0, 0.0, 0.0};
};

// An affine matrix a b c d e f, mapping (x, y) to (a x + c y + e, b x + d y + f).
struct ParserMatrix {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    double e = 0.0;
    double f = 0.0;
};

// Base of every object that Parser::GetNextObj reports. The kind is the
// dynamic type: TextCollect, GraphicsCollect, ImageCollect or LinkCollect.
class PARSER_API CollectBase {
public:
    CollectBase();
    virtual ~CollectBase();
    CollectBase(const CollectBase&);
    CollectBase& operator=(const CollectBase&);

    // e and f are the object's position (lower-left corner, see each kind).
    const ParserMatrix& GetMatrix() const { return matrix_; }
    // Drawing order on the page, from 1: an object with a smaller ID was
    // drawn earlier. IDs run across all kinds; links come after everything
    // drawn. An object that the caller made itself has ID 0.
    int GetID() const { return id_; }

protected:
    ParserMatrix matrix_;
    int id_ = 0;

private:
    friend struct parser_detail::ObjectAccess;
    // Where the object was drawn, so that Parser::DrawObjects can render it
    // again; empty for objects the caller made.
    std::shared_ptr<const parser_detail::DrawRef> draw_;
};

// One word of text: a run of characters without spaces, drawn in one style
// on one baseline. The matrix carries only the rotation of the baseline
// (a = d = cos, b = sin, c = -sin; identity for upright text); e and f are the
// lower-left corner of the word's box. The box is as long as the word and one
// em (the font size) high, set on the baseline in the font's proportion of
// ascent to descent, so the baseline lies about a fifth of the height above
// its bottom. Sizes are in points.
class PARSER_API TextCollect : public CollectBase {
public:
    TextCollect();

    const std::string& GetText() const { return text_; }
    // Font name without the subset prefix ("ABCDEF+").
    const std::string& GetFontName() const { return fontName_; }
    // The font's family, as a word processor names it: the family name of
    // a TrueType or OpenType font program ("Times New Roman"), else the font
    // name without its style ("Arial-BoldMT", "Arial,Bold" give "Arial") and
    // without the suffixes "PSMT", "MT" and "PS".
    const std::string& GetFontFamily() const { return fontFamily_; }
    // The font's glyphs all have one width (code), and have serifs.
    bool IsFixedPitch() const { return fixedPitch_; }
    bool IsSerif() const { return serif_; }
    // Font size in points (the em size after every scaling).
    double GetFontSize() const { return fontSize_; }
    // Length of the word along its baseline, in points.
    double GetTextWidth() const { return width_; }
    // Height of the word's box, in points: the font size.
    double GetTextHeight() const { return height_; }
    bool IsBold() const { return bold_; }
    bool IsItalic() const { return italic_; }
    // A thin line drawn under the word (underline) or through its middle
    // (strike-out) on the same page.
    bool IsUnderline() const { return underline_; }
    bool IsStrickOut() const { return strikeOut_; }
    // Fill colour (stroke colour for text that is only stroked).
    ParserColor GetNonStrokeColor() const { return color_; }

    // Width and height of the run in its own text space, before the matrix.
    // Because the matrix is a pure rotation these equal GetTextWidth and
    // GetTextHeight.
    double runWidth = 0.0;
    double runHeight = 0.0;

private:
    friend struct parser_detail::ObjectAccess;
    std::string text_;
    std::string fontName_;
    std::string fontFamily_;
    double fontSize_ = 0.0;
    double width_ = 0.0;
    double height_ = 0.0;
    bool bold_ = false;
    bool italic_ = false;
    bool underline_ = false;
    bool strikeOut_ = false;
    bool fixedPitch_ = false;
    bool serif_ = false;
    ParserColor color_;
};

// Point types of PathPoint::GetPointType.
enum ParserPointType : unsigned {
    kPointGeneral = 0,      // start of a subpath or end of a straight segment
    kPointBezierStartC = 1, // first control point of a cubic curve (PDF "c")
    kPointBezierStartV = 2, // first stored point of a "v" curve
    kPointBezierStartY = 3, // first stored point of a "y" curve
    kPointBezierCommon = 4, // further points of a curve (control, end point)
};

// One point of a path. The library writes every curve as a full cubic:
// a kPointBezierStartC point (first control) followed by two
// kPointBezierCommon points (second control, end point).
class PARSER_API PathPoint {
public:
    PathPoint() = default;
    PathPoint(double px, double py, unsigned type = kPointGeneral) : x(px), y(py), type_(type) {}

    double x = 0.0;
    double y = 0.0;

    unsigned GetPointType() const { return type_; }
    bool IsGeneralPoint() const { return type_ == kPointGeneral; }
    bool IsBezierStart_c() const { return type_ == kPointBezierStartC; }
    bool IsBezierStart_v() const { return type_ == kPointBezierStartV; }
    bool IsBezierStart_y() const { return type_ == kPointBezierStartY; }
    bool IsBezierCommonPt() const { return type_ == kPointBezierCommon; }

private:
    unsigned type_ = kPointGeneral;
};

// One subpath. A closed subpath ends with a copy of its first point, so a
// rectangle has 5 points with the last equal to the first.
class PARSER_API GraphPath {
public:
    GraphPath() = default;

    unsigned Count() const { return static_cast<unsigned>(points_.size()); }
    // The point i (0 <= i < Count()); out of range gives a static (0, 0).
    const PathPoint& GetAt(unsigned i) const;
    // Bounding box of the points: left, top, right, bottom (top >= bottom).
    // False for a path without points.
    bool GetRegion(double& left, double& top, double& right, double& bottom) const;
    ParserColor GetStrokeColor() const { return stroke_; }
    ParserColor GetNonStrokeColor() const { return fill_; }
    // Stroke width in points; 0 for a path that is only filled.
    double getLineWidth() const { return lineWidth_; }
    // Dash pattern in points; count 0 for a solid line.
    const ParserLinePattern& GetLinePattern() const { return dash_; }
    bool IsClosed() const { return closed_; }

    void AddPoint(const PathPoint& p) { points_.push_back(p); }

private:
    friend struct parser_detail::ObjectAccess;
    std::vector<PathPoint> points_;
    ParserColor stroke_;
    ParserColor fill_;
    double lineWidth_ = 0.0;
    ParserLinePattern dash_;
    bool closed_ = false;
};

// Paint ways of GraphicsCollect::GetPaintWay. 0 and 1 are stroke only.
// A path both filled and stroked is always reported as 4 or 5, also when
// all its subpaths are closed (a closed subpath already ends on its first
// point); 6 and 7 keep their meaning for callers but are never reported, so
// that every writer that fills the ways 2 to 5 fills all filled paths.
enum ParserPaintWay : int {
    kPaintStroke = 0,                  // stroked, some subpath open
    kPaintStrokeClosed = 1,            // stroked, every subpath closed
    kPaintFill = 2,                    // filled, non-zero winding rule
    kPaintFillEvenOdd = 3,             // filled, even-odd rule
    kPaintFillStroke = 4,              // filled and stroked, non-zero
    kPaintFillStrokeEvenOdd = 5,       // filled and stroked, even-odd
    kPaintFillStrokeClosed = 6,        // (not reported) filled and stroked, closed
    kPaintFillStrokeClosedEvenOdd = 7, // (not reported) the same, even-odd
    kPaintShading = 8, // area painted by a shading or a tiling pattern; the
                       // path is the area's rectangle, it has no vector form
};

// One painting operation of vector graphics: one or more subpaths painted
// together. Copies are independent and can still be drawn by DrawObjects.
class PARSER_API GraphicsCollect : public CollectBase {
public:
    GraphicsCollect() = default;

    // Bounding box of all points: left, top, right, bottom (top >= bottom).
    // False when the graphic has no point.
    bool GetRegion(double& left, double& top, double& right, double& bottom) const;
    int GetPathCount() const { return static_cast<int>(paths_.size()); }
    // The subpath i (0 <= i < GetPathCount()); out of range gives an empty path.
    const GraphPath& GetPaintPath(int i) const;
    int GetPaintWay() const { return paintWay_; }

    void AddPath(const GraphPath& p) { paths_.push_back(p); }
    void SetPaintWay(int way) { paintWay_ = way; }

private:
    friend struct parser_detail::ObjectAccess;
    std::vector<GraphPath> paths_;
    int paintWay_ = kPaintStroke;
};

// A picture drawn on the page. The matrix is (width, 0, 0, height, x, y) of
// the picture's box on the page (x, y its lower-left corner).
//
// The picture is written as a JPEG file into the parser's image folder the
// first time GetImagePath or GetMaskPath is asked for it. Names are
// "pimg<P>_<N>.jpg" and, for a picture with a soft mask, a colour-key mask or
// a stencil, "pimg<P>_<N>_mask.jpg" (the mask as grey levels, white = opaque),
// where P numbers the parser objects of the process and N the pictures of
// the parser object: unique for the whole life of the parser, over all the
// documents it loads. A stencil mask's picture file is its colour on white.
// A picture that the page turns or mirrors by a multiple of 90 degrees is
// written turned so, as the page shows it. One that the page turns by
// another angle or skews fills only part of its box: it reports a mask path
// (no mask file is written for it), so that it is drawn, not copied.
class PARSER_API ImageCollect : public CollectBase {
public:
    // A picture object for a file of the caller's, or (null) an empty one to
    // receive the result of Parser::DrawObjects.
    explicit ImageCollect(const wchar_t* path = nullptr);
    explicit ImageCollect(const std::wstring& path);
    ~ImageCollect() override;
    ImageCollect(const ImageCollect&) = delete;
    ImageCollect& operator=(const ImageCollect&) = delete;

    // Path of the JPEG file; empty when none, also when the picture could
    // not be decoded or written (then no file of it is left either).
    const std::wstring& GetImagePath() const;
    // Path of the mask JPEG, or null when the picture has no mask (and
    // fills its box as its file shows it) or could not be written.
    const wchar_t* GetMaskPath() const;
    // Whether the picture has a mask, and the path its file gets, both
    // without writing any file (empty when an earlier write failed): for a
    // caller that draws the picture from the page rather than use its files.
    bool HasMask() const { return hasMask_; }
    const std::wstring& GetPlannedImagePath() const { return imagePath_; }
    // Size of the picture's box on the page in whole points (rounded).
    bool GetImageSizeInPdf(int& width, int& height) const;

private:
    friend struct parser_detail::ObjectAccess;
    void Materialise() const;
    mutable std::wstring imagePath_;
    mutable std::wstring maskPath_;
    bool hasMask_ = false;
    int sizeW_ = 0;
    int sizeH_ = 0;
    mutable std::shared_ptr<parser_detail::ImageSource> source_;
};

// Link types of LinkCollect::GetType.
enum ParserLinkType : int {
    kLinkPage = 0,  // a page of this document (GetPage, from 0; -1 when the
                    // destination cannot be resolved)
    kLinkUri = 1,   // an address outside the document (GetURI)
    kLinkOther = 2, // anything else (launching a file, a named action)
};

// A link annotation of the page.
class PARSER_API LinkCollect : public CollectBase {
public:
    LinkCollect() = default;

    // The active rectangle: x, y of its lower-left corner, width, height.
    void GetRect(double& x, double& y, double& width, double& height) const;
    int GetType() const { return type_; }
    // Target page of a page link, counted from 0 (the first page is 0).
    int GetPage() const { return page_; }
    // Target of a URI link (UTF-8); for other links the raw destination.
    const std::string& GetURI() const { return uri_; }

private:
    friend struct parser_detail::ObjectAccess;
    double x_ = 0.0, y_ = 0.0, w_ = 0.0, h_ = 0.0;
    int type_ = kLinkOther;
    int page_ = -1;
    std::string uri_;
};

using ParserProgressFn = void (*)(void* ctx, int item, unsigned message, int value);
using ParserCancelFn = bool (*)(void* ctx);

class PARSER_API Parser {
public:
    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // ---- process-wide set-up -------------------------------------------
    // Keeps the program folder, the tool folder and the work folder. The work
    // folder receives image files when no image folder was set. True.
    static bool InitParserStaticParam(const std::wstring& programDir,
                                      const std::wstring& toolDir,
                                      const std::wstring& workDir);
    // Frees every table the library keeps (the folders above and the
    // rendering state that ConvertPDFPageToJpeg keeps for the calling thread).
    static void ReleaseAllTextConvertMap();
    // Frees the rendering state that ConvertPDFPageToJpeg keeps for the
    // calling thread (a MuPDF context with its store and the last document,
    // kept open); other threads free theirs when they end.
    static void ReleaseRenderState();
    static std::wstring GetProgramDir();
    static std::wstring GetToolDir();
    static std::wstring GetWorkDir();

    // ---- loading ---------------------------------------------------------
    // checkOnly false: opens the PDF (replacing any document loaded before),
    // with the password when it needs one (user or owner password; RC4 and
    // AES, including AES-256). Returns true. Throws ParserError when the file
    // is missing, empty, not a PDF, damaged beyond repair, or the password is
    // missing or wrong.
    // checkOnly true: answers whether the file needs a password to open; no
    // document stays loaded. Throws ParserError when the file cannot be read
    // as a PDF at all.
    // The password given is kept (GetPassword) for the loaded file.
    bool Load(const std::wstring& path, bool checkOnly, const char* password);
    bool Load(const std::wstring& path, bool checkOnly, const std::string& password)
    {
        return Load(path, checkOnly, password.c_str());
    }
    // Opens the file that `loaded` has open, with its password, as Load
    // does, for parsers that read the pages of one file on several threads:
    // the map of the page tree that `loaded` made is taken over instead of
    // walking the tree again (which reads every page object of the file).
    // `loaded` may be used by its own thread meanwhile. Throws as Load.
    bool LoadAlike(const Parser& loaded);

    // The loaded document is read in place from its file, which must stay
    // readable; this only checks that the file can be read. True if so.
    static bool CopyPDF(const std::wstring& path);

    // Folder for the picture files of the page objects. Created when missing.
    void SetImageDir(const std::wstring& dir);
    const std::wstring& GetImageDir() const;
    // The picture files of the pages read from now on are named stem + "1",
    // stem + "2", ... (plus ".jpg"). Each parser starts with a stem of its
    // own; parsers that read the pages of one job on several threads are
    // given stems by the page, so that the names do not depend on which
    // parser read which page.
    void SetImageStem(const std::string& stem);

    // Number of pages of the loaded document; 0 when none is loaded.
    int GetPageCount() const;

    // The path of the loaded file into buf (at most size wide characters,
    // terminator included). False when nothing is loaded or it does not fit.
    bool GetParsedFilePath(wchar_t* buf, int size) const;

    // ---- page objects -----------------------------------------------------
    // Selects the page (from 0) and reads its objects. False for a page out
    // of range or a page that cannot be read (no objects then). The objects
    // of the previous page are freed.
    bool SetCurrentPage(int page);
    int GetCurrentPage() const;
    // The next object of the current page in drawing order, links last;
    // null at the end. The object belongs to the parser and lives until the
    // next SetCurrentPage or Load, an OcrPrecessor that recognises the
    // current page (which then has to be selected again), or the parser's
    // destruction.
    CollectBase* GetNextObj();
    // Size of a page in points, as displayed; page -1 is the current page,
    // otherwise the page index from 0. False (out = 0) when there is no such page.
    bool GetPageWidth(double& out, int page = -1);
    bool GetPageHeight(double& out, int page = -1);

    // ---- rendering --------------------------------------------------------
    // Renders page `page` (from 1) of a PDF file to a JPEG at `dpi` dots per
    // inch (a page so large that the picture would pass 100 million pixels
    // is drawn at the resolution that keeps it within). The JPEG is written
    // to a temporary name first and then renamed, so a failure never leaves
    // a partial file. False on any failure. The open file is kept for the
    // calling thread until another file is asked for.
    // `cancel` (may be null) is asked with `cancelCtx` on the calling thread
    // while the page is drawn, about every 50 ms; a yes ends the drawing
    // with no file written (false).
    static bool ConvertPDFPageToJpeg(const std::wstring& pdfPath, const std::wstring& jpegPath,
                                     int page, int dpi, const char* password,
                                     ParserCancelFn cancel = nullptr, void* cancelCtx = nullptr);
    static bool ConvertPDFPageToJpeg(const std::wstring& pdfPath, const std::wstring& jpegPath,
                                     int page, int dpi, const std::string& password,
                                     ParserCancelFn cancel = nullptr, void* cancelCtx = nullptr)
    {
        return ConvertPDFPageToJpeg(pdfPath, jpegPath, page, dpi, password.c_str(), cancel,
                                    cancelCtx);
    }

    // Renders only the listed objects (all of one page of the loaded
    // document), as they are drawn on the page (clips, masks and
    // transparency applied), over white, into one JPEG covering the union of
    // their boxes (clipped to the page), at 144 dpi or more for pictures of a
    // higher resolution. Sets region's image path to jpegPath and its matrix
    // to (width, 0, 0, height, x, y) of the rendered area in points. False
    // when no listed object can be drawn or the file cannot be written.
    bool DrawObjects(const std::vector<CollectBase*>& objects, const std::wstring& jpegPath,
                     ImageCollect& region);
    // With `on`, the pages read from now on are recorded while their
    // objects are collected, and DrawObjects draws from that recording: for
    // callers that draw parts of most pages they read, whose pages are then
    // read from the file once instead of twice. Off by default.
    void SetRecordPages(bool on);
    // With `on` (the default), the words of the pages read from now on can
    // be drawn by DrawObjects. Off, they keep no record of where they were
    // drawn, which spares a record per word for callers that never draw
    // regions holding text; their other objects are drawn as before.
    void SetDrawWords(bool on);

    // ---- character recognition ------------------------------------------
    // Renders every page of the recognition list, recognises its words with
    // Tesseract (English) and makes them the objects of that page: from then
    // on the page reports one TextCollect per recognised word, whose text
    // ends with a space, followed by its links. Recognition mode 1 renders at
    // 300 dpi (quality first), any other mode at 200 dpi (speed first). The
    // cancel callback is asked before each page; a cancel stops the work.
    // The language data is taken from TESSDATA_PREFIX when it holds
    // eng.traineddata, otherwise from the system's tessdata folder. True when
    // every listed page was recognised.
    bool OcrPrecessor();

    // ---- state set by the engine -----------------------------------------
    // Recognised-text switch: on for items converted with recognition, where
    // the page parse joins the recognised words of a block into one run.
    void SetRecognitionSwitch(bool on) { recognitionSwitch_ = on; }
    bool GetRecognitionSwitch() const { return recognitionSwitch_; }
    // Recognition option from the job item: 0 speed first, 1 quality first.
    void SetRecognitionOption(int option) { recognitionOption_ = option; }
    int GetRecognitionOption() const { return recognitionOption_; }
    // Pages (from 0) that OcrPrecessor recognises, in order.
    void SetRecognitionPages(const std::vector<int>& pages) { recognitionPages_ = pages; }
    void AddRecognitionPage(int page) { recognitionPages_.push_back(page); }
    void ClearRecognitionPages() { recognitionPages_.clear(); }
    const std::vector<int>& GetRecognitionPages() const { return recognitionPages_; }
    // Progress and cancel callbacks and their context. Either may be null.
    // The library asks the cancel callback between recognised pages; it
    // sends no progress messages of its own.
    void SetCallbacks(ParserProgressFn progress, ParserCancelFn cancel, void* ctx)
    {
        progress_ = progress;
        cancel_ = cancel;
        callbackCtx_ = ctx;
    }
    ParserProgressFn GetProgressCallback() const { return progress_; }
    ParserCancelFn GetCancelCallback() const { return cancel_; }
    void* GetCallbackContext() const { return callbackCtx_; }
    // Password of the open file (set by Load; may be replaced).
    void SetPassword(const std::string& password) { password_ = password; }
    const std::string& GetPassword() const { return password_; }

private:
    bool LoadWith(const std::wstring& path, bool checkOnly, const char* password,
                  const parser_detail::PageTreeMap* map);

    std::unique_ptr<parser_detail::ParserImpl> impl_;
    bool recognitionSwitch_ = false;
    int recognitionOption_ = 0;
    std::vector<int> recognitionPages_;
    ParserProgressFn progress_ = nullptr;
    ParserCancelFn cancel_ = nullptr;
    void* callbackCtx_ = nullptr;
    std::string password_;
};
