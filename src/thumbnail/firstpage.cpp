// SPDX-License-Identifier: GPL-3.0-or-later
#include "thumbnail/firstpage.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <poppler-qt6.h>

FirstPage RenderFirstPage(QIODevice& pdf, const QByteArray& password, int longestSide) {
    using namespace thumbnail;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(&pdf);
    if (!document)
        return {};
    FirstPage result{kRendered, {}};
    if (document->isLocked()) {
        // unlock() answers whether the document is still locked.
        if (password.isEmpty() || document->unlock(password, password))
            return {kLocked, {}};
        result.outcome = kRenderedWithPassword;
    }
    if (document->numPages() < 1)
        return {};
    const std::unique_ptr<Poppler::Page> page(document->page(0));
    if (!page)
        return {};
    const QSizeF points = page->pageSizeF(); // rotation applied
    if (!(points.width() > 0 && points.height() > 0))
        return {};
    const double pixelsPerPoint = longestSide / std::max(points.width(), points.height());
    auto pixels = [&](double length) {
        return std::clamp(int(std::lround(length * pixelsPerPoint)), 1, longestSide);
    };
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    const double dpi = 72 * pixelsPerPoint;
    result.image =
        page->renderToImage(dpi, dpi, 0, 0, pixels(points.width()), pixels(points.height()));
    if (result.image.isNull())
        return {};
    result.image.convertTo(QImage::Format_RGB888); // opaque: no alpha channel to store
    return result;
}
