// SPDX-License-Identifier: GPL-3.0-or-later
// What a process shut in by the helper's sandbox can still do. Each case runs in a child
// process of its own, which shuts itself in and reports the errno of one attempt as its exit
// status (0: it succeeded).
#include "thumbnail/sandbox.h"
#include "thumbnail/thumbnailprotocol.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int Errno(bool succeeded) {
    return succeeded ? 0 : errno;
}

int OpenResult(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags, 0600);
    return fd >= 0 ? (close(fd), 0) : errno;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressSpaceLimited = false; // see LimitResources
#else
constexpr bool kAddressSpaceLimited = true;
#endif

TEST(HelperSandbox, AllowsReadingTheDocumentAndFontsAndNothingElse) {
    if (syscall(SYS_landlock_create_ruleset, nullptr, 0, 1 /* the version */) < 1)
        GTEST_SKIP() << "this kernel has no Landlock; the helper refuses to render here";
    const char* tmp = std::getenv("TMPDIR");
    std::string own = std::string(tmp && *tmp ? tmp : "/tmp") + "/sandbox_test-XXXXXX";
    ASSERT_NE(mkdtemp(own.data()), nullptr);
    // The user's fonts live below XDG_DATA_HOME: readable, but not to be changed.
    const std::string fonts = own + "/data/fonts", font = fonts + "/font.ttf";
    std::filesystem::create_directories(fonts);
    std::ofstream(font) << "font";
    std::ofstream(own + "/secret") << "secret";
    std::ofstream(own + "/doc.pdf") << "%PDF-1.7";
    setenv("XDG_DATA_HOME", (own + "/data").c_str(), 1);

    const struct {
        const char* name;
        std::function<int(int document)> attempt;
        int expected;
    } cases[] = {
        {"read the document it was given",
         [](int doc) {
             char c;
             return Errno(read(doc, &c, 1) == 1);
         },
         0},
        {"read a library", [](int) { return OpenResult("/usr/lib", O_RDONLY | O_DIRECTORY); }, 0},
        {"read the user's fonts", [&](int) { return OpenResult(font, O_RDONLY); }, 0},
        {"read another file", [&](int) { return OpenResult(own + "/secret", O_RDONLY); }, EACCES},
        {"open the document by name", [&](int) { return OpenResult(own + "/doc.pdf", O_RDONLY); },
         EACCES},
        {"write a readable file", [&](int) { return OpenResult(font, O_WRONLY); }, EACCES},
        {"create a file", [&](int) { return OpenResult(fonts + "/new", O_WRONLY | O_CREAT); },
         EACCES},
        {"remove a file", [&](int) { return Errno(unlink(font.c_str()) == 0); }, EACCES},
        {"open a network socket", [](int) { return Errno(socket(AF_INET, SOCK_STREAM, 0) >= 0); },
         EPERM},
        {"open a local socket", [](int) { return Errno(socket(AF_UNIX, SOCK_STREAM, 0) >= 0); },
         EPERM},
        {"start a program",
         [](int) {
             char* const argv[] = {const_cast<char*>("true"), nullptr};
             return Errno(execv("/bin/true", argv) == 0);
         },
         EPERM},
        {"take more memory than allowed",
         [](int) {
             void* block = std::malloc(size_t(thumbnail::kMemoryLimitBytes));
             return block ? 0 : ENOMEM;
         },
         kAddressSpaceLimited ? ENOMEM : 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int doc = open((own + "/doc.pdf").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(doc, 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (!LimitResources(rlim_t(thumbnail::kMemoryLimitBytes), 2))
                _exit(250);
            CloseDescriptorsExcept(doc);
            if (!RestrictToReading(RendererReadablePaths()).empty())
                _exit(251);
            _exit(c.attempt(doc));
        }
        close(doc);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), c.expected);
    }
    unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(own);
}

} // namespace
