// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-thumbnail: draws the first page of one PDF as a PNG for the window's preview, in a
// process of its own, so that a file that crashes, hangs or takes over the renderer harms only
// this process. The protocol is in thumbnailprotocol.h, the confinement in sandbox.h.

#include "thumbnail/firstpage.h"
#include "thumbnail/sandbox.h"
#include "thumbnail/thumbnailprotocol.h"

#include <QFile>
#include <QImageWriter>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace thumbnail;

bool ParseNumber(std::string_view text, int low, int high, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: pagewick-thumbnail --size N --fd F  (%d <= N <= %d; the PDF "
                 "open on descriptor F, the password on standard input, the PNG on "
                 "standard output)\n",
                 kSmallestSide, kLargestSide);
    return kUsage;
}

// The whole of standard input, at most kPasswordMaxBytes; false when there is more or it
// cannot be read.
bool ReadPassword(QByteArray& password) {
    char buffer[kPasswordMaxBytes + 1];
    size_t size = 0;
    while (size < sizeof buffer) {
        const ssize_t got = read(STDIN_FILENO, buffer + size, sizeof buffer - size);
        if (got == 0)
            break;
        if (got < 0 && errno != EINTR)
            return false;
        size += size_t(std::max<ssize_t>(got, 0));
    }
    password = QByteArray(buffer, qsizetype(size));
    std::memset(buffer, 0, sizeof buffer);
    return size <= kPasswordMaxBytes;
}

} // namespace

int main(int argc, char** argv) {
    int size = 0, fd = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (!(option == "--size" ? ParseNumber(argv[i + 1], kSmallestSide, kLargestSide, size)
              : option == "--fd" ? ParseNumber(argv[i + 1], STDERR_FILENO + 1, 1 << 20, fd)
                                 : false))
            return Usage();
    }
    if (argc != 5 || size == 0 || fd < 0)
        return Usage();
    struct stat pdfStat;
    const int mode = fcntl(fd, F_GETFL);
    if (mode < 0 || (mode & O_ACCMODE) == O_WRONLY || fstat(fd, &pdfStat) != 0 ||
        !S_ISREG(pdfStat.st_mode)) {
        std::fprintf(stderr, "pagewick-thumbnail: descriptor %d is not a file open for reading\n",
                     fd);
        return kUsage;
    }

    if (!LimitResources(rlim_t(kMemoryLimitBytes), rlim_t(kTimeLimitSeconds))) {
        std::perror("pagewick-thumbnail: setrlimit");
        return kNoSandbox;
    }
    CloseDescriptorsExcept(fd);
    if (const std::string failure = RestrictToReading(RendererReadablePaths()); !failure.empty()) {
        std::fprintf(stderr, "pagewick-thumbnail: %s\n", failure.c_str());
        return kNoSandbox;
    }

    QByteArray password;
    if (!ReadPassword(password))
        return Usage();
    try {
        QFile pdf;
        if (!pdf.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return kUnreadable;
        const FirstPage page = RenderFirstPage(pdf, password, size);
        if (page.image.isNull())
            return page.outcome;
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly) ||
            !QImageWriter(&out, "png").write(page.image) || !out.flush())
            return 1;
        return page.outcome;
    } catch (const std::bad_alloc&) {
        return kOverMemory;
    }
}
