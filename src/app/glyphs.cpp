// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/glyphs.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A 16 x 16 canvas of scale device pixels a point: the glyphs are drawn in points.
QPixmap Canvas(int scale) {
    QPixmap pixmap(16 * scale, 16 * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap UpGlyph(int scale) {
    QPixmap pixmap = Canvas(scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x1e), 1));
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    p.drawRect(QRectF(1.5, 6.5, 13, 8)); // the folder
    p.drawRect(QRectF(1.5, 4.5, 5, 2));
    QPainterPath arrow;
    arrow.moveTo(8, 1);
    arrow.lineTo(13, 6);
    arrow.lineTo(10, 6);
    arrow.lineTo(10, 12);
    arrow.lineTo(6, 12);
    arrow.lineTo(6, 6);
    arrow.lineTo(3, 6);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x1b, 0x5e, 0x20), 1));
    p.setBrush(QColor(0x43, 0xa0, 0x47));
    p.drawPath(arrow);
    return pixmap;
}

QPixmap RefreshGlyph(int scale) {
    QPixmap pixmap = Canvas(scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x15, 0x65, 0xc0), 2.2, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(7, 0.5);
    head.lineTo(11.5, 3.5);
    head.lineTo(7, 6.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x15, 0x65, 0xc0));
    p.drawPath(head);
    return pixmap;
}

QPixmap HelpGlyph(int scale) {
    QPixmap pixmap = Canvas(scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x0d, 0x47, 0xa1), 1));
    p.setBrush(QColor(0x42, 0x85, 0xf4));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font;
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return pixmap;
}

QPixmap ExitGlyph(int scale) {
    QPixmap pixmap = Canvas(scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x5d, 0x40, 0x37), 1));
    p.setBrush(QColor(0xa1, 0x88, 0x7f));
    p.drawRect(QRectF(2.5, 1.5, 8, 13)); // the door
    p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(15, 8)); // the way out
    p.drawLine(QPointF(12, 5), QPointF(15, 8));
    p.drawLine(QPointF(12, 11), QPointF(15, 8));
    return pixmap;
}

// A window with a panel at its right: the details pane.
QPixmap DetailsGlyph(int scale) {
    QPixmap pixmap = Canvas(scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x45, 0x5a, 0x64), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 1.5, 15, 13));
    p.setBrush(QColor(0x90, 0xca, 0xf9));
    p.drawRect(QRectF(9.5, 1.5, 6, 13));
    p.setPen(QPen(QColor(0x90, 0xa4, 0xae), 1));
    for (double y : {4.5, 7.5, 10.5})
        p.drawLine(QPointF(2, y), QPointF(8, y));
    return pixmap;
}

QPixmap LockGlyph(int scale) {
    QPixmap pixmap = Canvas(scale);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x61, 0x61, 0x61), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16); // the shackle
    p.drawLine(QPointF(4.5, 6), QPointF(4.5, 7.5));
    p.drawLine(QPointF(11.5, 6), QPointF(11.5, 7.5));
    p.setPen(QPen(QColor(0x8d, 0x6e, 0x00), 1));
    p.setBrush(QColor(0xff, 0xc1, 0x07));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 8), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5d, 0x40, 0x37));
    p.drawEllipse(QRectF(7, 9.5, 2, 2)); // the keyhole
    p.drawRect(QRectF(7.5, 11, 1, 2.5));
    return pixmap;
}

} // namespace

QPixmap GlyphPixmap(Glyph glyph, int scale) {
    // In the order of Glyph.
    static QPixmap (*const drawings[])(int) = {UpGlyph,   RefreshGlyph, HelpGlyph,
                                               ExitGlyph, DetailsGlyph, LockGlyph};
    return drawings[size_t(glyph)](scale);
}

QIcon GlyphIcon(Glyph glyph) {
    QIcon icon;
    for (int scale : {1, 2})
        icon.addPixmap(GlyphPixmap(glyph, scale));
    return icon;
}
