// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the catalog, the page tree, the form and the file's layout say of a document beyond
// its information: page size, signatures, tagging, binding, forms, scripts, attachments,
// bookmarks, linearization and updates. Every walk is bounded; whatever is cut short by a
// bound is left as far as it was read.

#include "pdf/documentinfo.h"
#include "pdf/pagetree.h"
#include "pdf/pdfobject.h"

#include <cstdint>

class ByteSource;
class ObjectStore;
class ReadBudget;
class XrefTable;

// Pages whose sizes are compared with the first page's: beyond them the mark is left open.
constexpr int64_t kMaxPagesCompared = 2000;
// Annotations looked at, all pages together, and nodes of a name tree.
constexpr int64_t kMaxAnnotations = 20000;
constexpr int64_t kMaxNameTreeNodes = 10000;

// The document as it is open: the file, its table and its objects (store decrypted;
// rawStore as the file stands, for an encrypted file only) and what reading it may cost.
struct OpenDocument {
    const ByteSource& source;
    const XrefTable& table;
    ObjectStore& store;
    ObjectStore* rawStore;
    ReadBudget& budget;
};

// The features of the document whose catalog is given, with pageCount pages; the XMP
// declarations (pdfA, pdfUA) are left to the caller, which reads the packet anyway.
DocumentFeatures ReadDocumentFeatures(const OpenDocument& document, const PdfObject& catalog,
                                      int32_t pageCount);

// A page's size in millimetres as shown (rotation applied), from its dictionary and what it
// inherits: the /CropBox clipped to the /MediaBox (US Letter without a usable one), scaled by
// /UserUnit; a /Rotate that is no multiple of 90 counts as none.
struct PageBox {
    double widthMm = 0, heightMm = 0;
    int32_t rotate = 0;
};
PageBox DisplayedPageBox(ObjectStore& store, const PdfObject& page,
                         const InheritedAttributes& above);
