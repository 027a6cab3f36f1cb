// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pathnames.h"

#include "jtext/filename.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace platform {

QString PathFromBytes(std::string_view bytes) {
    QString out;
    out.reserve(qsizetype(bytes.size()));
    size_t run = 0;
    for (size_t i = 0; i < bytes.size();) {
        if (const size_t n = Utf8SequenceAt(bytes, i)) {
            i += n;
            continue;
        }
        out += QString::fromUtf8(bytes.data() + run, qsizetype(i - run));
        out += QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes[i])));
        run = ++i;
    }
    out += QString::fromUtf8(bytes.data() + run, qsizetype(bytes.size() - run));
    return out;
}

std::string PathToBytes(const QString& path) {
    std::string out;
    out.reserve(size_t(path.size()));
    qsizetype run = 0;
    auto flush = [&](qsizetype end) {
        out += QStringView(path).mid(run, end - run).toUtf8().toStdString();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        const bool escaped = u >= 0xDC80 && u <= 0xDCFF &&
                             (i == 0 || !QChar::isHighSurrogate(path[i - 1].unicode()));
        if (!escaped)
            continue;
        flush(i);
        out += char(u - 0xDC00);
        run = i + 1;
    }
    flush(path.size());
    return out;
}

QString PathForDisplay(const QString& path) {
    QString shown;
    shown.reserve(path.size());
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype slash = path.indexOf(QLatin1Char('/'), start);
        if (slash < 0)
            slash = path.size();
        const QStringView name = QStringView(path).mid(start, slash - start);
        const std::string bytes = PathToBytes(name.toString());
        // Names that are UTF-8 stay as they are without a round through the rule.
        if (name.toUtf8().toStdString() == bytes)
            shown += name;
        else
            shown += QString::fromStdString(FileNameForDisplay(bytes));
        if (slash < path.size())
            shown += QLatin1Char('/');
        start = slash + 1;
    }
    return shown;
}

QString CurrentFolderPath() {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return PathFromBytes(buffer.c_str());
}

std::optional<QString> CanonicalPath(const QString& path) {
    const std::string bytes = PathToBytes(path);
    char* resolved = ::realpath(bytes.c_str(), nullptr);
    if (!resolved)
        return std::nullopt;
    QString out = PathFromBytes(resolved);
    std::free(resolved);
    return out;
}

} // namespace platform
