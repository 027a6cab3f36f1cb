// SPDX-License-Identifier: GPL-3.0-or-later
#include "dirchooser/nodeicons.h"

#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace {

// Theme icons are told apart by name; nameless ones (the style's fallbacks) by their pixels,
// since every call of the style hands out a fresh icon object.
QString KeyOf(const QIcon& icon) {
    if (!icon.name().isEmpty())
        return QStringLiteral("theme:") + icon.name();
    const QImage image = icon.pixmap(NodeIcons::kSize, NodeIcons::kSize)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constBits()),
                                static_cast<qsizetype>(image.sizeInBytes())));
    return QStringLiteral("image:") + QString::fromLatin1(hash.result().toHex());
}

} // namespace

int NodeIcons::add(const QIcon& icon) {
    if (icon.isNull())
        return -1;
    const QString key = KeyOf(icon);
    const auto found = indexOfKey_.constFind(key);
    if (found != indexOfKey_.constEnd())
        return found.value();
    icons_.push_back(icon);
    const int index = count() - 1;
    indexOfKey_.insert(key, index);
    return index;
}

QIcon NodeIcons::icon(int index) const {
    if (index < 0 || index >= count())
        return QIcon();
    return icons_[static_cast<size_t>(index)];
}

QIcon NodeIcons::nodeIcon(int image, int selectedImage) {
    const quint64 key = (static_cast<quint64>(static_cast<quint32>(image)) << 32) |
                        static_cast<quint32>(selectedImage);
    const auto found = nodeIcons_.constFind(key);
    if (found != nodeIcons_.constEnd())
        return found.value();
    QIcon combined;
    const QIcon normal = icon(image);
    const QIcon selected = icon(selectedImage);
    if (!normal.isNull())
        combined.addPixmap(normal.pixmap(kSize, kSize), QIcon::Normal);
    if (!selected.isNull())
        combined.addPixmap(selected.pixmap(kSize, kSize), QIcon::Selected);
    else if (!normal.isNull())
        combined.addPixmap(normal.pixmap(kSize, kSize), QIcon::Selected);
    nodeIcons_.insert(key, combined);
    return combined;
}

void NodeIcons::draw(QPainter& painter, int x, int y, int index) const {
    if (index < 0 || index >= count())
        return;
    icons_[static_cast<size_t>(index)].paint(&painter, QRect(x, y, kSize, kSize));
}
