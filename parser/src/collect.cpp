// The page object classes.
#include "internal.h"

#include "utf8.h"

#include <cmath>

using parser_detail::ObjectAccess;

CollectBase::CollectBase() = default;
CollectBase::~CollectBase() = default;
CollectBase::CollectBase(const CollectBase&) = default;
CollectBase& CollectBase::operator=(const CollectBase&) = default;

TextCollect::TextCollect() = default;

const PathPoint& GraphPath::GetAt(unsigned i) const
{
    static const PathPoint none;
    return i < points_.size() ? points_[i] : none;
}

bool GraphPath::GetRegion(double& left, double& top, double& right, double& bottom) const
{
    if (points_.empty())
        return false;
    left = right = points_[0].x;
    top = bottom = points_[0].y;
    for (const PathPoint& p : points_) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        bottom = std::min(bottom, p.y);
        top = std::max(top, p.y);
    }
    return true;
}

bool GraphicsCollect::GetRegion(double& left, double& top, double& right, double& bottom) const
{
    bool any = false;
    for (const GraphPath& p : paths_) {
        double l, t, r, b;
        if (!p.GetRegion(l, t, r, b))
            continue;
        if (!any) {
            left = l;
            top = t;
            right = r;
            bottom = b;
            any = true;
        } else {
            left = std::min(left, l);
            right = std::max(right, r);
            bottom = std::min(bottom, b);
            top = std::max(top, t);
        }
    }
    return any;
}

const GraphPath& GraphicsCollect::GetPaintPath(int i) const
{
    static const GraphPath none;
    return i >= 0 && static_cast<std::size_t>(i) < paths_.size() ? paths_[i] : none;
}

ImageCollect::ImageCollect(const wchar_t* path)
{
    if (path)
        imagePath_ = path;
}

ImageCollect::ImageCollect(const std::wstring& path) : imagePath_(path) {}

ImageCollect::~ImageCollect() = default;

void ImageCollect::Materialise() const
{
    if (!source_)
        return;
    if (!source_->written && !source_->Write()) {
        // No file was made: the picture names none.
        imagePath_.clear();
        maskPath_.clear();
    }
}

const std::wstring& ImageCollect::GetImagePath() const
{
    Materialise();
    return imagePath_;
}

const wchar_t* ImageCollect::GetMaskPath() const
{
    if (!hasMask_)
        return nullptr;
    Materialise();
    return maskPath_.empty() ? nullptr : maskPath_.c_str();
}

bool ImageCollect::GetImageSizeInPdf(int& width, int& height) const
{
    width = sizeW_;
    height = sizeH_;
    return true;
}

void LinkCollect::GetRect(double& x, double& y, double& width, double& height) const
{
    x = x_;
    y = y_;
    width = w_;
    height = h_;
}

namespace parser_detail {

void ObjectAccess::SetImage(ImageCollect& i, std::shared_ptr<ImageSource> src, bool hasMask, int w,
                            int h)
{
    i.imagePath_ = FromUtf8(src->imagePath);
    i.maskPath_ = hasMask ? FromUtf8(src->maskPath) : std::wstring();
    i.hasMask_ = hasMask;
    i.sizeW_ = w;
    i.sizeH_ = h;
    i.source_ = std::move(src);
}

std::shared_ptr<DrawRef> ObjectAccess::ResetText(TextCollect& t)
{
    // Moved, not copied: the record is touched once, without the atomic
    // updates of its count that a copy and a release would make.
    std::shared_ptr<DrawRef> ref;
    if (t.draw_ && t.draw_.use_count() == 1)
        ref = std::const_pointer_cast<DrawRef>(std::move(t.draw_));
    t.draw_.reset();
    t.matrix_ = ParserMatrix{};
    t.id_ = 0;
    t.runWidth = 0.0;
    t.runHeight = 0.0;
    t.text_.clear();
    t.fontName_.clear();
    t.fontSize_ = 0.0;
    t.width_ = 0.0;
    t.height_ = 0.0;
    t.bold_ = false;
    t.italic_ = false;
    t.underline_ = false;
    t.strikeOut_ = false;
    t.color_ = ParserColor{};
    return ref;
}

void ObjectAccess::SetImageResult(ImageCollect& i, const std::wstring& path, int w, int h)
{
    i.imagePath_ = path;
    i.maskPath_.clear();
    i.hasMask_ = false;
    i.source_.reset();
    i.sizeW_ = w;
    i.sizeH_ = h;
}

void ObjectAccess::SetLink(LinkCollect& l, double x, double y, double w, double h, int type,
                           int page, std::string uri)
{
    l.x_ = x;
    l.y_ = y;
    l.w_ = w;
    l.h_ = h;
    l.type_ = type;
    l.page_ = page;
    l.uri_ = std::move(uri);
    l.matrix_ = ParserMatrix{w, 0.0, 0.0, h, x, y};
}

} // namespace parser_detail
