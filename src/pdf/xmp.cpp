// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/xmp.h"

#include <expat.h>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr std::string_view kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view kDc = "http://purl.org/dc/elements/1.1/";
constexpr std::string_view kPdf = "http://ns.adobe.com/pdf/1.3/";
constexpr std::string_view kXmp = "http://ns.adobe.com/xap/1.0/";
constexpr std::string_view kPdfAId = "http://www.aiim.org/pdfa/ns/id/";
constexpr std::string_view kPdfUAId = "http://www.aiim.org/pdfua/ns/id/";

// Names reach the handlers as "namespace-URI|local-name" (the parser is made with '|').
struct Property {
    std::string_view ns, local;
    std::optional<std::string> XmpProperties::*field;
};
const std::array<Property, 10> kProperties = {{
    {kDc, "title", &XmpProperties::Title},
    {kDc, "creator", &XmpProperties::Author},
    {kDc, "description", &XmpProperties::Subject},
    {kPdf, "Keywords", &XmpProperties::Keywords},
    {kPdf, "Producer", &XmpProperties::Producer},
    {kXmp, "CreatorTool", &XmpProperties::Creator},
    {kXmp, "CreateDate", &XmpProperties::CreateDate},
    {kPdfAId, "part", &XmpProperties::PdfAPart},
    {kPdfAId, "conformance", &XmpProperties::PdfAConformance},
    {kPdfUAId, "part", &XmpProperties::PdfUAPart},
}};

const Property* PropertyNamed(std::string_view name) {
    const size_t bar = name.rfind('|');
    if (bar == std::string_view::npos)
        return nullptr;
    for (const Property& p : kProperties)
        if (name.substr(0, bar) == p.ns && name.substr(bar + 1) == p.local)
            return &p;
    return nullptr;
}

bool IsRdf(std::string_view name, std::string_view local) {
    return name.size() == kRdf.size() + 1 + local.size() && name.substr(0, kRdf.size()) == kRdf &&
           name[kRdf.size()] == '|' && name.substr(kRdf.size() + 1) == local;
}

// text cut to kMaxXmpValueBytes, not inside a UTF-8 sequence.
std::string CutToValueSize(std::string text) {
    if (text.size() <= kMaxXmpValueBytes)
        return text;
    size_t end = kMaxXmpValueBytes;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

// The state of one parse. A property element is open from its start to its end; the text of
// its items (rdf:li) or, without items, its own text is collected.
struct Collector {
    XML_Parser parser = nullptr;
    bool refused = false; // the packet declares a document type
    XmpProperties found;
    const Property* open = nullptr;
    int depth = 0;       // of elements inside the open property
    bool nested = false; // the open property has elements inside
    bool alt = false;    // its value is an rdf:Alt
    bool inItem = false;
    bool itemIsDefault = false;
    std::string text; // of the item or the property being read
    std::vector<std::string> items;
    std::optional<std::string> defaultItem;

    void Start(std::string_view name, const XML_Char** attributes) {
        if (open) {
            ++depth;
            nested = true;
            if (IsRdf(name, "Alt"))
                alt = true;
            if (IsRdf(name, "li")) {
                inItem = true;
                itemIsDefault = false;
                text.clear();
                for (size_t i = 0; attributes[i]; i += 2)
                    if (std::string_view(attributes[i]) ==
                            "http://www.w3.org/XML/1998/namespace|lang" &&
                        std::string_view(attributes[i + 1]) == "x-default")
                        itemIsDefault = true;
            }
            return;
        }
        if (const Property* p = PropertyNamed(name)) {
            open = p;
            depth = 0;
            alt = inItem = nested = false;
            text.clear();
            items.clear();
            defaultItem.reset();
            return;
        }
        // The short form: properties as attributes of rdf:Description.
        if (IsRdf(name, "Description"))
            for (size_t i = 0; attributes[i]; i += 2)
                if (const Property* p = PropertyNamed(attributes[i]); p && !(found.*p->field))
                    found.*p->field = CutToValueSize(attributes[i + 1]);
    }

    void End(std::string_view name) {
        if (!open)
            return;
        if (depth > 0) {
            --depth;
            if (inItem && IsRdf(name, "li")) {
                inItem = false;
                if (itemIsDefault && !defaultItem)
                    defaultItem = text;
                items.push_back(std::move(text));
                text.clear();
            }
            return;
        }
        std::string value;
        if (alt && !items.empty()) {
            value = defaultItem ? *defaultItem : items.front();
        } else if (!items.empty()) {
            for (size_t i = 0; i < items.size() && value.size() < kMaxXmpValueBytes; ++i)
                value += (i ? "; " : "") + items[i];
        } else if (!nested) {
            value = text; // a simple property
        }
        if (!(found.*open->field))
            found.*open->field = CutToValueSize(std::move(value));
        open = nullptr;
    }

    // Text beyond the bound is not kept; a few bytes more are, so that the cut can fall at a
    // character's edge.
    void Text(std::string_view s) {
        constexpr size_t kKept = kMaxXmpValueBytes + 4;
        if (open && (inItem || depth == 0) && text.size() < kKept)
            text.append(s.substr(0, kKept - text.size()));
    }
};

// Simple text of a property has the blanks of the XML layout around it when it has items;
// the text of a simple property is kept whole, as an Info string is.
std::string_view TrimXmlBlanks(std::string_view s) {
    while (!s.empty() &&
           (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

XmpProperties ParseXmp(std::string_view packet) {
    // The packet wrapper (<?xpacket ...?>) is a processing instruction: expat passes over it.
    // Padding after the end of the XML is whitespace, which expat also accepts.
    const std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
        XML_ParserCreateNS("UTF-8", '|'), &XML_ParserFree);
    if (!parser)
        return {};
    Collector collector;
    collector.parser = parser.get();
    XML_SetUserData(parser.get(), &collector);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<Collector*>(data)->Start(name, attributes);
        },
        [](void* data, const XML_Char* name) { static_cast<Collector*>(data)->End(name); });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* s, int length) {
        static_cast<Collector*>(data)->Text(std::string_view(s, size_t(length)));
    });
    // A packet with a document type declaration is not XMP; its entities are never expanded.
    XML_SetStartDoctypeDeclHandler(
        parser.get(), [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
            static_cast<Collector*>(data)->refused = true;
            XML_StopParser(static_cast<Collector*>(data)->parser, XML_FALSE);
        });
    // Some writers leave NUL padding or junk after the packet's end: only the part up to the
    // closing processing instruction is parsed.
    if (const size_t end = packet.rfind("<?xpacket end"); end != std::string_view::npos)
        if (const size_t close = packet.find("?>", end); close != std::string_view::npos)
            packet = packet.substr(0, close + 2);
    // Text before the XML declaration (a BOM is fine, anything else is not XML).
    if (const size_t start = packet.find('<'); start != std::string_view::npos)
        packet.remove_prefix(start);
    if (XML_Parse(parser.get(), packet.data(), int(packet.size()), XML_TRUE) != XML_STATUS_OK ||
        collector.refused)
        return {};
    XmpProperties found = std::move(collector.found);
    for (const Property& p : kProperties)
        if (auto& value = found.*p.field)
            if (p.field == &XmpProperties::CreateDate || p.ns == kPdfAId || p.ns == kPdfUAId)
                value = std::string(TrimXmlBlanks(*value));
    return found;
}

std::string XmpDateToPdfDate(std::string_view d) {
    auto digits = [&](size_t at, size_t n) {
        if (at + n > d.size())
            return false;
        for (size_t k = at; k < at + n; ++k)
            if (d[k] < '0' || d[k] > '9')
                return false;
        return true;
    };
    if (!digits(0, 4))
        return {};
    std::string out = "D:" + std::string(d.substr(0, 4));
    size_t at = 4;
    // -MM, -DD, THH, :MM, :SS, each present only when the one before is.
    static constexpr char kSeparators[] = {'-', '-', 'T', ':', ':'};
    for (const char separator : kSeparators) {
        if (at < d.size() && d[at] == separator && digits(at + 1, 2)) {
            out += d.substr(at + 1, 2);
            at += 3;
        } else {
            break;
        }
    }
    if (at < d.size() && d[at] == '.') // fractions of a second
        for (++at; at < d.size() && d[at] >= '0' && d[at] <= '9';)
            ++at;
    if (at < d.size() && d[at] == 'Z')
        out += 'Z';
    else if (at < d.size() && (d[at] == '+' || d[at] == '-') && digits(at + 1, 2) &&
             d.substr(at + 3, 1) == ":" && digits(at + 4, 2))
        out += std::string(1, d[at]) + std::string(d.substr(at + 1, 2)) + "'" +
               std::string(d.substr(at + 4, 2)) + "'";
    return out;
}
