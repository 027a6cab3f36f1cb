// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small path and text helpers of the window and its loader.

#include <QString>

#include <string_view>

// Leading and trailing blanks and control characters removed.
inline QString Trimmed(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 0x20)
        ++b;
    while (e > b && text[e - 1].unicode() <= 0x20)
        --e;
    return text.mid(b, e - b);
}

// The path up to its last "/", without that "/" unless it is the root's.
inline QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// The path with one "/" at its end, as AppendBackslash gives it.
inline QString WithSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

// Whether path is the chooser's list of drives rather than a folder.
inline bool IsDriveList(const QString& path) {
    return path.toLower() == QLatin1String("drives");
}

// Text from outside (a name, a title, a reader's message, a path) as the list's cells show
// it: a control character, a bidirectional override or a byte that is not UTF-8 written out
// (InertText), so that it cannot disguise a name in a field or a box. A path is shown by the
// names it is made of (platform::PathForDisplay) before that.
QString InertShown(const QString& text);
QString InertShown(std::string_view utf8);
