// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small (16 x 16) icons of the folder chooser's nodes. Nodes and the chooser's field refer
// to icons by index, so each distinct icon is kept once however many folders show it.

#include <QHash>
#include <QIcon>
#include <QString>

#include <vector>

class QPainter;

class NodeIcons {
public:
    static constexpr int kSize = 16;

    // The index of icon, adding it when no equal image is held yet. A null icon gives -1.
    int add(const QIcon& icon);
    int count() const { return static_cast<int>(icons_.size()); }
    // The icon at index; a null icon for an index outside the list.
    QIcon icon(int index) const;
    // The icon a node shows: image in the normal state, selectedImage while selected.
    QIcon nodeIcon(int image, int selectedImage);
    // Draws image index at (x, y); nothing for an index outside the list.
    void draw(QPainter& painter, int x, int y, int index) const;

private:
    std::vector<QIcon> icons_;
    QHash<QString, int> indexOfKey_;
    QHash<quint64, QIcon> nodeIcons_;
};
