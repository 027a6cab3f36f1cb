// SPDX-License-Identifier: GPL-3.0-or-later
#include "thumbnail/sandbox.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// The system headers may be older than the kernel: the rights and fields that later Landlock
// versions added, by the version that added them.
constexpr uint64_t kFsRightsOfVersion1 = (1ULL << 13) - 1;              // execute ... make symlink
constexpr uint64_t kFsRefer = 1ULL << 13;                               // version 2
constexpr uint64_t kFsTruncate = 1ULL << 14;                            // version 3
constexpr uint64_t kFsIoctlDev = 1ULL << 15;                            // version 5
constexpr uint64_t kNetBindTcp = 1ULL << 0, kNetConnectTcp = 1ULL << 1; // version 4
constexpr uint64_t kScopeAbstractUnixSocket = 1ULL << 0, kScopeSignal = 1ULL << 1; // version 6

// landlock_ruleset_attr as the newest kernels read it; an older kernel is handed only the
// fields it knows.
struct RulesetAttr {
    uint64_t handledAccessFs = 0;
    uint64_t handledAccessNet = 0;
    uint64_t scoped = 0;
};

std::string Failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string ApplyLandlock(const std::vector<std::string>& readable) {
    const long version =
        syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (version < 1)
        return Failure("Landlock is not available");
    RulesetAttr attr;
    size_t attrSize = sizeof attr.handledAccessFs;
    attr.handledAccessFs = kFsRightsOfVersion1 | (version >= 2 ? kFsRefer : 0) |
                           (version >= 3 ? kFsTruncate : 0) | (version >= 5 ? kFsIoctlDev : 0);
    if (version >= 4) {
        attr.handledAccessNet = kNetBindTcp | kNetConnectTcp; // with no rule: none allowed
        attrSize = offsetof(RulesetAttr, scoped);
    }
    if (version >= 6) {
        attr.scoped = kScopeAbstractUnixSocket | kScopeSignal;
        attrSize = sizeof attr;
    }
    const int ruleset = int(syscall(SYS_landlock_create_ruleset, &attr, attrSize, 0));
    if (ruleset < 0)
        return Failure("landlock_create_ruleset");

    std::string failure;
    for (const std::string& path : readable) {
        const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0) {
            if (fd >= 0)
                close(fd);
            continue; // a folder this system does not have
        }
        landlock_path_beneath_attr rule{};
        rule.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE;
        if (S_ISDIR(st.st_mode))
            rule.allowed_access |= LANDLOCK_ACCESS_FS_READ_DIR;
        rule.parent_fd = fd;
        const long added =
            syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        close(fd);
        if (added != 0) {
            failure = Failure(("landlock_add_rule " + path).c_str());
            break;
        }
    }
    if (failure.empty() && syscall(SYS_landlock_restrict_self, ruleset, 0) != 0)
        failure = Failure("landlock_restrict_self");
    close(ruleset);
    return failure;
}

#if defined(__x86_64__)
constexpr uint32_t kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kAuditArch = AUDIT_ARCH_AARCH64;
#endif

// On other architectures the helper goes without this filter; Landlock still holds.
std::string ApplySeccomp() {
#if defined(__x86_64__) || defined(__aarch64__)
    // Refused with EPERM rather than a kill, so that a library that tries one of them fails
    // the way it would on a locked-down system and the render goes on.
    static constexpr long kRefused[] = {
        SYS_socket,
        SYS_socketpair,
        SYS_execve,
        SYS_execveat,
        SYS_ptrace,
        SYS_process_vm_readv,
        SYS_process_vm_writev,
        SYS_io_uring_setup,
        SYS_io_uring_enter,
        SYS_io_uring_register,
        SYS_bpf,
        SYS_userfaultfd,
        SYS_perf_event_open,
        SYS_keyctl,
        SYS_add_key,
        SYS_request_key,
        SYS_unshare,
        SYS_setns,
        SYS_mount,
    };
    constexpr uint32_t count = std::size(kRefused);
    std::vector<sock_filter> program;
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    // Calls made through another architecture's entry point have other numbers: none allowed.
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
#if defined(__x86_64__)
    // The x32 numbering reaches the same calls under other numbers.
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, count + 1, 0));
#endif
    for (uint32_t i = 0; i < count; ++i)
        program.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(kRefused[i]), uint8_t(count - i), 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    sock_fprog fprog{uint16_t(program.size()), program.data()};
    if (syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &fprog) != 0)
        return Failure("seccomp");
#endif
    return {};
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : std::string(); // relative values are ignored
}

} // namespace

bool LimitResources(rlim_t addressSpaceBytes, rlim_t processorSeconds) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' shadow memory alone is terabytes of address space: their builds go
    // without this one limit.
    addressSpaceBytes = RLIM_INFINITY;
#endif
    const rlimit memory{addressSpaceBytes, addressSpaceBytes};
    // The soft limit sends SIGXCPU, which ends the process; the hard one a second later
    // SIGKILL, in case the signal is caught or blocked.
    const rlimit processor{processorSeconds, processorSeconds + 1};
    const rlimit core{0, 0};
    return setrlimit(RLIMIT_AS, &memory) == 0 && setrlimit(RLIMIT_CPU, &processor) == 0 &&
           setrlimit(RLIMIT_CORE, &core) == 0;
}

void CloseDescriptorsExcept(int keep) {
    if (keep > 3)
        syscall(SYS_close_range, 3u, unsigned(keep - 1), 0u);
    syscall(SYS_close_range, unsigned(std::max(keep + 1, 3)), ~0u, 0u);
}

std::vector<std::string> RendererReadablePaths() {
    std::vector<std::string> paths = {"/usr", "/etc/fonts", "/etc/ld.so.cache",
                                      "/var/cache/fontconfig"};
    const std::string home = Environment("HOME");
    auto add = [&](const char* variable, const char* underHome, const char* name) {
        const std::string value = Environment(variable);
        if (!value.empty())
            paths.push_back(value + name);
        else if (!home.empty())
            paths.push_back(home + underHome + name);
    };
    add("XDG_DATA_HOME", "/.local/share", "/fonts");
    add("XDG_CACHE_HOME", "/.cache", "/fontconfig");
    add("XDG_CONFIG_HOME", "/.config", "/fontconfig");
    if (!home.empty()) {
        paths.push_back(home + "/.fonts");
        paths.push_back(home + "/.fonts.conf");
    }
    return paths;
}

std::string RestrictToReading(const std::vector<std::string>& readable) {
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit reads /proc and traces the process, neither of which the sandbox
    // allows: it is done now instead, and not again.
    __lsan_do_leak_check();
#endif
    // Both Landlock and an unprivileged seccomp filter require that the process can never gain
    // privileges again (no set-user-ID programs).
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return Failure("PR_SET_NO_NEW_PRIVS");
    std::string failure = ApplyLandlock(readable);
    if (failure.empty())
        failure = ApplySeccomp();
    return failure;
}
