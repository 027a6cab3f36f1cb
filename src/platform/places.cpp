// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/places.h"

#include "platform/pathnames.h"

#include <QDir>
#include <QStandardPaths>

#include <utility>

namespace platform {

namespace {

PlaceSource& Source() {
    static PlaceSource source;
    return source;
}

std::vector<Place> SystemPlaces() {
    std::vector<Place> places;
    const QString home = QDir::cleanPath(QDir::homePath());
    const struct {
        PlaceKind kind;
        QStandardPaths::StandardLocation location;
        const char16_t* caption;
    } wanted[] = {
        {PlaceKind::Home, QStandardPaths::HomeLocation, u"ホーム"},
        {PlaceKind::Documents, QStandardPaths::DocumentsLocation, u"ドキュメント"},
        {PlaceKind::Desktop, QStandardPaths::DesktopLocation, u"デスクトップ"},
    };
    for (const auto& w : wanted) {
        const QString path = QDir::cleanPath(QStandardPaths::writableLocation(w.location));
        const auto found = FileAttributes(path);
        if (path.isEmpty() || !found || !(*found & faDirectory) ||
            (w.kind != PlaceKind::Home && path == home))
            continue;
        places.push_back({w.kind, QString::fromUtf16(w.caption), path});
    }
    return places;
}

} // namespace

std::vector<Place> UserPlaces() {
    return Source() ? Source()() : SystemPlaces();
}

PlaceSource SetPlaceSource(PlaceSource source) {
    return std::exchange(Source(), std::move(source));
}

} // namespace platform
