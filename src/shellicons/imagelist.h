// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An image list: square images of one size, addressed by index, with a name. The icon cache
// keeps two of them (16 and 32 pixels) and a view shows rows with the images of its lists.

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <vector>

class QAbstractItemView;

class TImageList : public QObject {
    Q_OBJECT
public:
    TImageList(int size, QObject* owner = nullptr);

    int Width() const { return size_; }
    int Height() const { return size_; }
    int Count() const { return int(images_.size()); }

    // Adds a copy of icon rendered at the list's size; -1 when the icon yields no image.
    int Add(const QIcon& icon);
    // Removes the last image; for undoing an Add.
    void RemoveLast();
    void Clear() { images_.clear(); }
    // Copies the other list's size and images; the name stays.
    void Assign(const TImageList& other);

    // The image at index as icon or pixmap; empty for an index outside the list.
    QIcon Icon(int index) const;
    QPixmap Pixmap(int index) const;

private:
    int size_;
    std::vector<QPixmap> images_;
};

// The image lists a view shows its rows with (the small list also sets the view's icon size).
// Either may be null. Kept beside the view (a list that is destroyed reads back as null), so the
// view need not know the cache.
void SetViewImageLists(QAbstractItemView* view, TImageList* smallImages, TImageList* largeImages);
void SetViewSmallImages(QAbstractItemView* view, TImageList* images);
void SetViewLargeImages(QAbstractItemView* view, TImageList* images);
TImageList* ViewSmallImages(const QAbstractItemView* view);
TImageList* ViewLargeImages(const QAbstractItemView* view);
