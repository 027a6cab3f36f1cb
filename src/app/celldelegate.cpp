// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/celldelegate.h"

#include "platform/dialogs.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

bool CellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                             const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString text = index.data(Qt::ToolTipRole).toString();
    if (const QString cut = truncatedText(view, option, index); !cut.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + cut;
    if (text.isEmpty())
        QToolTip::hideText();
    else // a title or a name that looks like HTML is shown as it is
        QToolTip::showText(event->globalPos(), platform::PlainToolTip(text), view->viewport(),
                           option.rect);
    return true;
}

QString CellDelegate::truncatedText(const QAbstractItemView* view,
                                    const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (cell.text.isEmpty())
        return {};
    const QStyle* style = view->style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return cell.fontMetrics.horizontalAdvance(cell.text) > textRect.width() - 2 * margin
               ? cell.text
               : QString();
}
