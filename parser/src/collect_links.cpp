// The link annotations of a page as link objects.
#include "internal.h"

#include "mupdf_safe.h"

namespace parser_detail {

void CollectLinks(fz_context* ctx, fz_document* doc, int pageIndex, int firstId,
                  std::vector<std::unique_ptr<CollectBase>>& out)
{
    fz_page* page = SafeLoadPage(ctx, doc, pageIndex);
    if (!page)
        return;
    fz_rect bounds;
    if (!SafeBoundPage(ctx, page, &bounds)) {
        fz_drop_page(ctx, page);
        return;
    }
    try {
        AppendLinks(ctx, doc, page, bounds, firstId, out);
    } catch (...) {
        fz_drop_page(ctx, page);
        throw;
    }
    fz_drop_page(ctx, page);
}

void AppendLinks(fz_context* ctx, fz_document* doc, fz_page* page, fz_rect bounds, int firstId,
                 std::vector<std::unique_ptr<CollectBase>>& out)
{
    fz_link* links = SafeLoadLinks(ctx, page);
    int id = firstId;
    try {
        for (fz_link* l = links; l; l = l->next) {
            if (!l->uri)
                continue;
            const fz_rect r = l->rect;
            if (fz_is_empty_rect(r) || fz_is_infinite_rect(r))
                continue;
            const double x = r.x0 - bounds.x0, y = bounds.y1 - r.y1;
            const double w = r.x1 - r.x0, h = r.y1 - r.y0;
            std::string uri = l->uri;
            int type = kLinkOther;
            int target = -1;
            if (uri.rfind("file:", 0) == 0) {
                type = kLinkOther;
            } else if (SafeIsExternalLink(ctx, l->uri)) {
                type = kLinkUri;
            } else {
                type = kLinkPage;
                target = SafeResolveLinkPage(ctx, doc, l->uri);
            }
            auto link = std::make_unique<LinkCollect>();
            ObjectAccess::SetLink(*link, x, y, w, h, type, target, std::move(uri));
            ObjectAccess::SetId(*link, id++);
            out.push_back(std::move(link));
        }
    } catch (...) {
        fz_drop_link(ctx, links);
        throw;
    }
    fz_drop_link(ctx, links);
}

} // namespace parser_detail
