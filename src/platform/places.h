// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's own folders, which the folder chooser offers before the volumes: the home folder
// and the XDG user folders for documents and the desktop (~/.config/user-dirs.dirs), as the
// desktop's file manager offers them.

#include <QString>

#include <functional>
#include <vector>

namespace platform {

enum class PlaceKind { Home, Documents, Desktop };

struct Place {
    PlaceKind kind = PlaceKind::Home;
    QString caption; // ホーム, ドキュメント, デスクトップ
    QString path;    // absolute, without trailing "/" (except "/")
};

// Those of the three that exist, in that order; a user folder that is the home folder itself
// (no such folder configured) is left out, one on a share that does not answer within
// half a second kept. Through the hook when one is set.
std::vector<Place> UserPlaces();

using PlaceSource = std::function<std::vector<Place>()>;
PlaceSource SetPlaceSource(PlaceSource source);

} // namespace platform
