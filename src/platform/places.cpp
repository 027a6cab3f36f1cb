// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/places.h"

#include "platform/pathnames.h"
#include "platform/volumes.h"

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
        if (path.isEmpty() || (w.kind != PlaceKind::Home && path == home))
            continue;
        // Asked within the chooser's wait: a user folder on a share whose server died must not
        // hold the window at its start. One that does not answer is offered all the same, as
        // configured; opening it asks again.
        const auto found = FileInfoOfInTime(path);
        if (found && !(*found && ((*found)->attr & faDirectory)))
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
