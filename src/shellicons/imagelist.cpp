// SPDX-License-Identifier: GPL-3.0-or-later
#include "shellicons/imagelist.h"

#include <QAbstractItemView>
#include <QPointer>

namespace {

// Lives as a child of the view, so it goes with the view; QPointer forgets a destroyed list.
class ImageListBinding : public QObject {
public:
    explicit ImageListBinding(QAbstractItemView* view) : QObject(view) {
        setObjectName(QStringLiteral("pagewickImageLists"));
    }
    QPointer<TImageList> smallImages;
    QPointer<TImageList> largeImages;
};

ImageListBinding* Binding(const QAbstractItemView* view, bool create) {
    if (!view)
        return nullptr;
    auto* found = dynamic_cast<ImageListBinding*>(view->findChild<QObject*>(
        QStringLiteral("pagewickImageLists"), Qt::FindDirectChildrenOnly));
    if (!found && create)
        found = new ImageListBinding(const_cast<QAbstractItemView*>(view));
    return found;
}

} // namespace

TImageList::TImageList(int size, QObject* owner) : QObject(owner), size_(size) {}

int TImageList::Add(const QIcon& icon) {
    if (icon.isNull())
        return -1;
    const QPixmap pixmap = icon.pixmap(QSize(size_, size_));
    if (pixmap.isNull())
        return -1;
    // The list keeps its own copy at exactly its size, as an image list does.
    images_.push_back(
        pixmap.width() == size_ && pixmap.height() == size_
            ? pixmap
            : pixmap.scaled(size_, size_, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return Count() - 1;
}

void TImageList::RemoveLast() {
    if (!images_.empty())
        images_.pop_back();
}

void TImageList::Assign(const TImageList& other) {
    if (&other == this)
        return;
    size_ = other.size_;
    images_ = other.images_;
}

QIcon TImageList::Icon(int index) const {
    const QPixmap pixmap = Pixmap(index);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QPixmap TImageList::Pixmap(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return images_[size_t(index)];
}

void SetViewSmallImages(QAbstractItemView* view, TImageList* images) {
    if (auto* binding = Binding(view, true)) {
        binding->smallImages = images;
        if (images)
            view->setIconSize(QSize(images->Width(), images->Height()));
    }
}

void SetViewLargeImages(QAbstractItemView* view, TImageList* images) {
    if (auto* binding = Binding(view, true))
        binding->largeImages = images;
}

void SetViewImageLists(QAbstractItemView* view, TImageList* smallImages, TImageList* largeImages) {
    SetViewSmallImages(view, smallImages);
    SetViewLargeImages(view, largeImages);
}

TImageList* ViewSmallImages(const QAbstractItemView* view) {
    auto* binding = Binding(view, false);
    return binding ? binding->smallImages.data() : nullptr;
}

TImageList* ViewLargeImages(const QAbstractItemView* view) {
    auto* binding = Binding(view, false);
    return binding ? binding->largeImages.data() : nullptr;
}
