// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/thumbnailcache.h"

#include "crypto/md5.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// A thumbnail of 256 x 256 pixels is some 200 KiB even uncompressed; a larger file in the cache
// is none of ours to decode.
constexpr off_t kLargestThumbnailFile = 4 << 20;

std::string AbsoluteEnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : std::string();
}

std::string HexMd5(std::string_view text) {
    Md5Digest digest;
    Md5OfString(text, digest);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

// The whole of a regular file no larger than limit; false for anything else. A FIFO put where a
// thumbnail belongs does not block the window: it is opened without waiting and then refused.
bool ReadSmallFile(const std::string& path, off_t limit, QByteArray& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= limit;
    if (ok) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got = read(fd, bytes.data() + done, size_t(bytes.size() - done));
            ok = got > 0 || (got < 0 && errno == EINTR);
            done += std::max<ssize_t>(got, 0);
        }
    }
    close(fd);
    return ok;
}

bool TextIsNumber(const QImage& image, const char* key, int64_t number) {
    bool ok = false;
    return image.text(QLatin1String(key)).toLongLong(&ok) == number && ok;
}

bool Describes(const QImage& image, const ThumbnailSource& source) {
    return image.text(QStringLiteral("Thumb::URI")) == QLatin1String(source.uri) &&
           TextIsNumber(image, "Thumb::MTime", source.modified) &&
           (image.text(QStringLiteral("Thumb::Size")).isEmpty() ||
            TextIsNumber(image, "Thumb::Size", source.size));
}

QImage ReadPng(const std::string& path, int largestSide) {
    QByteArray bytes;
    if (!ReadSmallFile(path, kLargestThumbnailFile, bytes))
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size(); // from the header, before anything is decoded
    if (!size.isValid() || size.width() > largestSide || size.height() > largestSide)
        return {};
    return reader.read();
}

// Every missing folder of path, mode 700: the thumbnails reveal what the user's files show.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteWhole(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno != EINTR)
            return false;
        done += std::max<ssize_t>(wrote, 0);
    }
    return true;
}

// An empty path (no cache folder known) writes nothing.
bool ReplaceFile(const std::string& path, const QByteArray& bytes) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0 || !MakeFolders(path.substr(0, slash)))
        return false;
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC); // mode 600
    if (fd < 0)
        return false;
    const bool written = fchmod(fd, 0600) == 0 && WriteWhole(fd, bytes);
    if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// A PNG tEXt chunk: length, type, key, a zero byte, value, CRC of type and contents.
QByteArray TextChunk(const QByteArray& key, const QByteArray& value) {
    const QByteArray body = "tEXt" + key + '\0' + value;
    const auto bigEndian = [](uint32_t n) {
        const char bytes[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        return QByteArray(bytes, 4);
    };
    const auto* bytes = reinterpret_cast<const Bytef*>(body.constData());
    return bigEndian(uint32_t(body.size() - 4)) + body +
           bigEndian(uint32_t(crc32(0, bytes, uInt(body.size()))));
}

// The standard asks for 8-bit RGBA. The keys go into plain tEXt chunks, as GLib-based file
// managers write them (Qt would compress the longer values into zTXt).
bool WritePng(const std::string& path, const QImage& image, const ThumbnailSource& source) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(image.convertToFormat(QImage::Format_ARGB32)))
        return false;
    // After the signature (8 bytes) and the header chunk (25), which every PNG begins with.
    constexpr qsizetype kAfterHeader = 8 + 25;
    if (png.size() < kAfterHeader || png.mid(12, 4) != "IHDR")
        return false;
    png.insert(kAfterHeader,
               TextChunk("Thumb::URI", QByteArray::fromStdString(source.uri)) +
                   TextChunk("Thumb::MTime", QByteArray::number(qint64(source.modified))) +
                   TextChunk("Thumb::Size", QByteArray::number(qint64(source.size))) +
                   TextChunk("Thumb::Mimetype", "application/pdf"));
    return ReplaceFile(path, png);
}

} // namespace

std::string FileUri(std::string_view absolutePath) {
    static constexpr std::string_view kKept = "-._~!$&'()*+,=:@/";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : absolutePath) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || kKept.find(c) != std::string_view::npos) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

std::string ThumbnailFolder() {
    if (std::string cache = AbsoluteEnvironmentPath("XDG_CACHE_HOME"); !cache.empty())
        return cache + "/thumbnails";
    std::string home = AbsoluteEnvironmentPath("HOME");
    if (home.empty())
        if (const passwd* user = getpwuid(getuid()); user && user->pw_dir[0] == '/')
            home = user->pw_dir;
    return home.empty() ? std::string() : home + "/.cache/thumbnails";
}

std::string ThumbnailPath(std::string_view uri, ThumbnailSize size) {
    const std::string folder = ThumbnailFolder();
    if (folder.empty())
        return {};
    return folder + (size == ThumbnailSize::Large ? "/large/" : "/normal/") + HexMd5(uri) + ".png";
}

std::string FailureEntryPath(std::string_view uri) {
    const std::string folder = ThumbnailFolder();
    if (folder.empty())
        return {};
    return folder + "/fail/pagewick-" PAGEWICK_VERSION "/" + HexMd5(uri) + ".png";
}

QImage ReadThumbnail(const std::string& path, const ThumbnailSource& source, ThumbnailSize size) {
    QImage image = ReadPng(path, int(size));
    return !image.isNull() && Describes(image, source) ? image : QImage();
}

bool HasFailureEntry(const ThumbnailSource& source) {
    const QImage entry = ReadPng(FailureEntryPath(source.uri), int(ThumbnailSize::Large));
    return !entry.isNull() && Describes(entry, source);
}

bool WriteThumbnail(const std::string& path, const QImage& image, const ThumbnailSource& source) {
    return WritePng(path, image, source);
}

bool WriteFailureEntry(const ThumbnailSource& source) {
    QImage empty(1, 1, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    return WritePng(FailureEntryPath(source.uri), empty, source);
}
