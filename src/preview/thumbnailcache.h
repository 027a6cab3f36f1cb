// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The freedesktop thumbnail cache, which Pagewick shares with file managers: a thumbnail one
// of them made is shown as it is, and one Pagewick made is theirs too. Each thumbnail is a PNG
// named after the MD5 of its file's URI, in thumbnails/normal (128 pixels) or thumbnails/large
// (256) below the user's cache folder, holding the file's URI and modification time (and
// mostly its size) as text, by which it is known to be current. A file no thumbnail could be
// made of has an entry in the program's own folder under thumbnails/fail, so that it is not
// tried again until it changes.
//
// Paths here are bytes, as the file system names them.

#include <QImage>
#include <cstdint>
#include <string>
#include <string_view>

enum class ThumbnailSize { Normal = 128, Large = 256 };

// What a thumbnail records of its file, and what it is checked against.
struct ThumbnailSource {
    std::string uri;      // FileUri of its absolute path
    int64_t modified = 0; // modification time, seconds since 1970 (Thumb::MTime)
    int64_t size = 0;     // bytes (Thumb::Size)
};

// "file://" and the absolute path with every byte other than letters, digits and
// -._~!$&'()*+,=:@/ written as %XX (upper-case), the way GLib names files and so most file
// managers: the same path always gives the same URI and so the same thumbnail.
std::string FileUri(std::string_view absolutePath);

// $XDG_CACHE_HOME/thumbnails, else $HOME/.cache/thumbnails (an XDG_CACHE_HOME that is not an
// absolute path is ignored); empty when neither is known.
std::string ThumbnailFolder();

// ThumbnailFolder()/normal/ or /large/, then the lower-case hexadecimal MD5 of uri and ".png";
// empty when there is no ThumbnailFolder.
std::string ThumbnailPath(std::string_view uri, ThumbnailSize size);
// ThumbnailFolder()/fail/pagewick-VERSION/ and the same name (or empty).
std::string FailureEntryPath(std::string_view uri);

// The thumbnail at path when it is one of source as it is now: Thumb::URI is its URI,
// Thumb::MTime its modification time, Thumb::Size (where written) its size, and neither side is
// larger than size. Otherwise (none, outdated, damaged, too large) a null image.
QImage ReadThumbnail(const std::string& path, const ThumbnailSource& source, ThumbnailSize size);
// Whether an entry for source as it is now lies under FailureEntryPath.
bool HasFailureEntry(const ThumbnailSource& source);

// Writes image as the thumbnail of source at path, with Thumb::URI, Thumb::MTime, Thumb::Size
// and Thumb::Mimetype: into a new file of mode 600 beside it, then renamed over it, so that
// no reader ever sees half a thumbnail; missing folders are made with mode 700. False when it
// cannot be written (nothing is left behind then).
bool WriteThumbnail(const std::string& path, const QImage& image, const ThumbnailSource& source);
// Writes the failure entry of source (a 1x1 PNG with the same keys).
bool WriteFailureEntry(const ThumbnailSource& source);
