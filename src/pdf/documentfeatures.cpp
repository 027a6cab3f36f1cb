// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/documentfeatures.h"

#include "pdf/bytesource.h"
#include "pdf/objectstore.h"
#include "pdf/readbudget.h"
#include "pdf/scriptactions.h"
#include "pdf/signaturefields.h"
#include "pdf/xreftable.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>
#include <vector>

namespace {

constexpr double kMmPerPoint = 25.4 / 72;
// Pages that differ by less than this are the same size: writers round differently.
constexpr double kSameSizeMm = 1;
// Name trees nest a few levels deep.
constexpr int kMaxNameTreeDepth = 32;
// The linearization dictionary is the first object, within the first kilobyte.
constexpr int64_t kLinearizationWindow = 1024;

struct Box {
    double x0, y0, x1, y1;
};

std::optional<double> Number(ObjectStore& store, const PdfObject& value) {
    const PdfObject v = store.Resolve(value);
    if (v.IsInteger())
        return double(v.integer);
    if (v.kind == PdfObject::Kind::Real && std::isfinite(v.real))
        return v.real;
    return std::nullopt;
}

// A rectangle of four numbers in either corner order; nothing for anything else or no area.
std::optional<Box> BoxOf(ObjectStore& store, const PdfObject& value) {
    const PdfObject array = store.Resolve(value);
    if (!array.IsArray() || array.items.size() != 4)
        return std::nullopt;
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
        const std::optional<double> n = Number(store, array.items[i]);
        if (!n)
            return std::nullopt;
        v[i] = *n;
    }
    const Box box{std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]),
                  std::max(v[1], v[3])};
    if (box.x1 - box.x0 <= 0 || box.y1 - box.y0 <= 0)
        return std::nullopt;
    return box;
}

const PdfObject& Own(const PdfObject& page, const char* key, const PdfObject& inherited) {
    const PdfObject* own = page.Get(key);
    return own ? *own : inherited;
}

// Counts the leaves of a name tree (each name and value pair) up to kMaxNameTreeNodes nodes.
class NameTreeCount {
public:
    explicit NameTreeCount(ObjectStore& store) : store_(store) {}
    int64_t Count(const PdfObject& node, int depth = 0) {
        if (depth > kMaxNameTreeDepth || ++nodes_ > kMaxNameTreeNodes ||
            (node.IsReference() && !seen_.insert(node.integer).second))
            return 0;
        const PdfObject dict = store_.Resolve(node);
        if (!dict.IsDictionary())
            return 0;
        int64_t count = 0;
        if (const PdfObject* names = dict.Get("Names")) {
            const PdfObject list = store_.Resolve(*names);
            if (list.IsArray())
                count += int64_t(list.items.size() / 2);
        }
        if (const PdfObject* kids = dict.Get("Kids")) {
            const PdfObject list = store_.Resolve(*kids);
            if (list.IsArray())
                for (const PdfObject& kid : list.items)
                    count += Count(kid, depth + 1);
        }
        return count;
    }

private:
    ObjectStore& store_;
    int64_t nodes_ = 0;
    std::unordered_set<int64_t> seen_; // nodes counted, against kids that lead back up
};

int32_t Clamp32(int64_t n) {
    return int32_t(std::clamp<int64_t>(n, 0, INT32_MAX));
}

class FeatureReader {
public:
    FeatureReader(const OpenDocument& document, const PdfObject& catalog)
        : d_(document), store_(document.store), catalog_(catalog) {}

    DocumentFeatures Read(int32_t pageCount) {
        f_.read = true;
        Catalog();
        Layout();
        Pages(pageCount);
        return std::move(f_);
    }

private:
    PdfObject Entry(const PdfObject& dict, const char* key) {
        const PdfObject* v = dict.Get(key);
        return v ? store_.Resolve(*v) : PdfObject();
    }

    void Catalog() {
        const PdfObject markInfo = Entry(catalog_, "MarkInfo");
        if (const PdfObject* marked = markInfo.Get("Marked"))
            f_.tagged = marked->kind == PdfObject::Kind::Boolean && marked->integer != 0;
        const PdfObject preferences = Entry(catalog_, "ViewerPreferences");
        if (const PdfObject direction = Entry(preferences, "Direction");
            direction.kind == PdfObject::Kind::Name)
            f_.direction = direction.text;
        if (const PdfObject layout = Entry(catalog_, "PageLayout");
            layout.kind == PdfObject::Kind::Name)
            f_.pageLayout = layout.text;
        const PdfObject outlines = Entry(catalog_, "Outlines");
        f_.outlines =
            outlines.IsDictionary() && outlines.Get("First") && !outlines.Get("First")->IsNull();

        const PdfObject names = Entry(catalog_, "Names");
        int64_t attachments = 0;
        if (const PdfObject* files = names.Get("EmbeddedFiles"))
            attachments = NameTreeCount(store_).Count(*files);
        attachments_ += attachments;
        if (const PdfObject* scripts = names.Get("JavaScript"))
            f_.javaScript = NameTreeCount(store_).Count(*scripts) > 0;
        for (const char* key : {"OpenAction", "AA"})
            if (const PdfObject* action = catalog_.Get(key); action && !f_.javaScript)
                f_.javaScript = RunsJavaScript(store_, *action);

        const PdfObject form = Entry(catalog_, "AcroForm");
        if (form.IsDictionary()) {
            const PdfObject xfa = Entry(form, "XFA");
            // An XFA stream's dictionary is what the store gives for a stream object.
            const bool hasXfa = xfa.IsArray() || xfa.IsDictionary();
            f_.forms = hasXfa ? FormKind::Xfa : FormKind::AcroForm;
            FormFacts fields = ReadFormFields(store_, d_.rawStore, d_.source, form);
            f_.signatures = std::move(fields.signatures);
            f_.javaScript = f_.javaScript || fields.javaScript;
        }
    }

    // Linearization and updates, from the start of the file and the table's sections.
    void Layout() {
        const std::string head = d_.source.Read(0, kLinearizationWindow);
        bool laidOut = false; // a linearization dictionary, whole or not
        if (size_t at = head.find("%PDF-"); at != std::string::npos) {
            // Past the header line and the comment of binary bytes, to the first object.
            size_t pos = head.find_first_of("\r\n", at);
            int64_t number = 0;
            int32_t generation = 0;
            if (pos != std::string::npos && ParseObjectHeader(head, pos, number, generation)) {
                const PdfObject first = ParseObject(head, pos);
                const PdfObject* version = first.Get("Linearized");
                const PdfObject* length = first.Get("L");
                laidOut =
                    version && (version->IsInteger() || version->kind == PdfObject::Kind::Real);
                f_.linearized =
                    laidOut && length && length->IsInteger() && length->integer == d_.source.Size();
            }
        }
        // A linearized file has two sections of its own: the first page's and the rest's.
        f_.updates = std::max(0, d_.table.Sections() - 1 - (laidOut ? 1 : 0));
    }

    void Pages(int32_t pageCount) {
        const PdfObject* pages = catalog_.Get("Pages");
        if (!pages)
            return;
        int64_t compared = 0;
        std::optional<bool> mixed = false;
        VisitPages(store_, *pages, d_.budget, kMaxPagesCompared,
                   [&](const PdfObject& page, const InheritedAttributes& above) {
                       const PageBox box = DisplayedPageBox(store_, page, above);
                       if (compared++ == 0) {
                           f_.firstPage = {true, box.widthMm, box.heightMm, box.rotate, false};
                       } else if (std::abs(box.widthMm - f_.firstPage.widthMm) >= kSameSizeMm ||
                                  std::abs(box.heightMm - f_.firstPage.heightMm) >= kSameSizeMm) {
                           mixed = true;
                       }
                       Annotations(page);
                       return true;
                   });
        if (!*mixed && compared >= kMaxPagesCompared && pageCount > compared)
            mixed.reset();
        f_.firstPage.mixedSizes = mixed;
        f_.attachments = Clamp32(attachments_);
    }

    // File attachments and scripts of a page's annotations, and the page's own actions.
    void Annotations(const PdfObject& page) {
        if (const PdfObject* actions = page.Get("AA"); actions && !f_.javaScript)
            f_.javaScript = RunsJavaScript(store_, *actions);
        const PdfObject annotations = Entry(page, "Annots");
        if (!annotations.IsArray())
            return;
        for (const PdfObject& item : annotations.items) {
            if (++annotationsSeen_ > kMaxAnnotations)
                return;
            // An annotation listed twice, or on two pages, is one attachment.
            if (item.IsReference() && !annotationRefs_.insert(item.integer).second)
                continue;
            const PdfObject annotation = store_.Resolve(item);
            if (!annotation.IsDictionary())
                continue;
            if (const PdfObject* subtype = annotation.Get("Subtype");
                subtype && subtype->IsName("FileAttachment"))
                ++attachments_;
            for (const char* key : {"A", "AA"})
                if (const PdfObject* action = annotation.Get(key); action && !f_.javaScript)
                    f_.javaScript = RunsJavaScript(store_, *action);
        }
    }

    const OpenDocument& d_;
    ObjectStore& store_;
    const PdfObject& catalog_;
    DocumentFeatures f_;
    int64_t attachments_ = 0;
    int64_t annotationsSeen_ = 0;
    std::unordered_set<int64_t> annotationRefs_;
};

} // namespace

PageBox DisplayedPageBox(ObjectStore& store, const PdfObject& page,
                         const InheritedAttributes& above) {
    const Box media =
        BoxOf(store, Own(page, "MediaBox", above.mediaBox)).value_or(Box{0, 0, 612, 792});
    Box box = media;
    if (const std::optional<Box> crop = BoxOf(store, Own(page, "CropBox", above.cropBox))) {
        const Box clipped{std::max(crop->x0, media.x0), std::max(crop->y0, media.y0),
                          std::min(crop->x1, media.x1), std::min(crop->y1, media.y1)};
        if (clipped.x1 > clipped.x0 && clipped.y1 > clipped.y0)
            box = clipped;
    }
    double unit = 1;
    if (const PdfObject* u = page.Get("UserUnit"))
        if (const std::optional<double> n = Number(store, *u); n && *n > 0)
            unit = *n;
    PageBox result;
    result.widthMm = (box.x1 - box.x0) * unit * kMmPerPoint;
    result.heightMm = (box.y1 - box.y0) * unit * kMmPerPoint;
    if (const std::optional<double> r = Number(store, Own(page, "Rotate", above.rotate));
        r && std::abs(*r) < 1e9 && *r == std::floor(*r) && int64_t(*r) % 90 == 0)
        result.rotate = int32_t(((int64_t(*r) % 360) + 360) % 360);
    if (result.rotate % 180 != 0)
        std::swap(result.widthMm, result.heightMm);
    return result;
}

DocumentFeatures ReadDocumentFeatures(const OpenDocument& document, const PdfObject& catalog,
                                      int32_t pageCount) {
    return FeatureReader(document, catalog).Read(pageCount);
}
