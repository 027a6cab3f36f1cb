// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/volumes.h"

#include "platform/answerwithin.h"
#include "platform/dialogs.h"
#include "platform/filesearch.h"
#include "platform/pathnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {
namespace {

VolumeSource& Source() {
    static VolumeSource source;
    return source;
}

// File systems that hold no user files or that a user would not call a drive.
bool IsPseudoFileSystem(const QByteArray& type) {
    static const char* const pseudo[] = {
        "proc",      "sysfs",       "cgroup",     "cgroup2",     "tmpfs",           "devtmpfs",
        "devpts",    "mqueue",      "overlay",    "squashfs",    "securityfs",      "debugfs",
        "tracefs",   "pstore",      "bpf",        "configfs",    "fusectl",         "hugetlbfs",
        "autofs",    "binfmt_misc", "efivarfs",   "ramfs",       "rpc_pipefs",      "nsfs",
        "selinuxfs", "rootfs",      "fuse.lxcfs", "fuse.portal", "fuse.gvfsd-fuse", "fuse.snapfuse",
    };
    return std::any_of(std::begin(pseudo), std::end(pseudo),
                       [&](const char* p) { return type == p; });
}

bool IsNetworkFileSystem(const QByteArray& type) {
    static const char* const network[] = {"nfs",   "nfs4",       "cifs",  "smb3",       "smbfs",
                                          "sshfs", "fuse.sshfs", "afs",   "ceph",       "glusterfs",
                                          "davfs", "fuse.davfs", "ncpfs", "fuse.rclone"};
    return std::any_of(std::begin(network), std::end(network),
                       [&](const char* n) { return type == n; });
}

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64).trimmed();
}

// The whole disk's folder in /sys/class/block for a device node, partitions mapped to their
// disk.
QString BlockDiskFolder(const QString& deviceNode) {
    const QString name = QFileInfo(deviceNode).fileName();
    if (name.isEmpty())
        return {};
    const QString folder =
        QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (folder.isEmpty())
        return {};
    if (QFileInfo::exists(folder + QStringLiteral("/partition")))
        return QFileInfo(folder).path();
    return folder;
}

VolumeKind KindOf(const QByteArray& device, const QByteArray& type) {
    if (IsNetworkFileSystem(type))
        return VolumeKind::Network;
    if (type == "iso9660" || type == "udf")
        return VolumeKind::CdRom;
    if (!device.startsWith('/'))
        return VolumeKind::Fixed;
    QString node = QFileInfo(QFile::decodeName(device)).canonicalFilePath();
    if (node.isEmpty())
        node = QFile::decodeName(device);
    if (QFileInfo(node).fileName().startsWith(QStringLiteral("sr")))
        return VolumeKind::CdRom;
    const QString disk = BlockDiskFolder(node);
    if (!disk.isEmpty() && ReadSmallFile(disk + QStringLiteral("/removable")) == "1")
        return VolumeKind::Removable;
    return VolumeKind::Fixed;
}

// raw with each escape (prefix, then digits digits of base) made the byte it stands for.
QByteArray Unescaped(const QByteArray& raw, const QByteArray& prefix, int digits, int base) {
    QByteArray bytes;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        bool escape = false;
        const int code = raw.mid(i, prefix.size()) == prefix
                             ? raw.mid(i + prefix.size(), digits).toInt(&escape, base)
                             : 0;
        if (escape && i + prefix.size() + digits <= raw.size()) {
            bytes += char(code);
            i += prefix.size() + digits - 1;
        } else {
            bytes += raw[i];
        }
    }
    return bytes;
}

// A mount point as the mount table writes it: blanks, tabs, newlines and backslashes as octal
// escapes.
QString UnescapedMountPoint(const QByteArray& field) {
    return QFile::decodeName(Unescaped(field, "\\", 3, 8));
}

struct MountEntry {
    QString mountPoint;
    QByteArray device; // the mount source
    QByteArray type;
};

// The real file systems of the mount table (with pseudo ones too), in its order; the table
// alone, nothing is asked.
std::vector<MountEntry> MountTable(bool withPseudo = false) {
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": the fifth field
    // is the mount point, the type and the source follow the "-".
    std::vector<MountEntry> entries;
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 2 >= fields.size() ||
            (!withPseudo && IsPseudoFileSystem(fields[dash + 1])))
            continue;
        entries.push_back({UnescapedMountPoint(fields[4]), fields[dash + 2], fields[dash + 1]});
    }
    return entries;
}

// What asking a mount point found: whether it is a folder, and the total size of its volume
// (nothing when that could not be asked).
struct VolumeAnswer {
    bool folder = false;
    std::optional<uint64_t> totalSize;
};

// What the system says of a mount point (bytes) itself.
VolumeAnswer AskSystem(const std::string& mountPoint) {
    VolumeAnswer answer;
    struct stat status {};
    answer.folder = ::stat(mountPoint.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    if (struct statvfs info{}; ::statvfs(mountPoint.c_str(), &info) == 0)
        answer.totalSize = uint64_t(info.f_blocks) * uint64_t(info.f_frsize);
    return answer;
}

// A network share or a file system in user space may not answer for minutes (a server that
// died, a hard NFS mount); every other volume is asked on the spot.
bool MayStall(const QByteArray& type) {
    return IsNetworkFileSystem(type) || type == "fuse" || type.startsWith("fuse.");
}
// How long a volume that may stall is waited for: a share far away answers in a fraction of it.
constexpr std::chrono::milliseconds kStallWait{500};

// What a volume that may stall said, asked within the wait and kept for a moment: at the
// window's start and at every mount its two mount watchers and the chooser's tree each ask
// about every volume within milliseconds, and a share far away was asked three times over.
// One that does not answer in time counts as a folder of unknown size.
VolumeAnswer AskInTime(const std::string& mountPoint) {
    constexpr std::chrono::seconds kFresh{2};
    struct Kept {
        VolumeAnswer answer;
        std::chrono::steady_clock::time_point at;
    };
    static std::mutex mutex;
    static std::map<std::string, Kept> kept;
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(mutex);
        if (const auto it = kept.find(mountPoint); it != kept.end() && now - it->second.at < kFresh)
            return it->second.answer;
    }
    const auto answer = AnswerWithin<VolumeAnswer>("volume " + mountPoint, kStallWait,
                                                   [mountPoint] { return AskSystem(mountPoint); });
    if (!answer)
        return VolumeAnswer{true, std::nullopt};
    const std::lock_guard lock(mutex);
    kept[mountPoint] = {*answer, now};
    return *answer;
}

const char* const kSystemFolders[] = {"/dev", "/proc", "/sys", "/var/run", "/var/lock"};

// "My\x20Disk" as udev names a label's link: bytes written \xHH.
QString DecodedLabel(const QString& name) {
    return QString::fromUtf8(Unescaped(QFile::encodeName(name), "\\x", 2, 16));
}

// The file systems' labels by the canonical path of their device.
QHash<QString, QString> DeviceLabels() {
    QHash<QString, QString> labels;
    const QDir links(QStringLiteral("/dev/disk/by-label"));
    for (const QFileInfo& link :
         links.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        labels.insert(link.canonicalFilePath(), DecodedLabel(link.fileName()));
    return labels;
}

// "/a/b" holds "/a/b" and "/a/b/c", not "/a/bc".
bool MountPointHolds(const QString& mountPoint, const QString& path) {
    if (mountPoint == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == mountPoint || path.startsWith(mountPoint + QLatin1Char('/'));
}

// The mount whose mount point is the longest prefix (by whole components) of path, told from the
// mount table alone (with its pseudo file systems when withPseudo), or from the hook's volumes
// (a network one as "nfs"); nothing for a relative path or when none holds it.
std::optional<MountEntry> MountHolding(const QString& path, bool withPseudo) {
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    std::vector<MountEntry> mounts;
    if (Source()) {
        for (const Volume& volume : Source()())
            mounts.push_back(
                {volume.mountPoint, {}, volume.kind == VolumeKind::Network ? "nfs" : QByteArray()});
    } else {
        mounts = MountTable(withPseudo);
    }
    const QString clean = QDir::cleanPath(path);
    std::optional<MountEntry> longest;
    for (MountEntry& mount : mounts)
        if (MountPointHolds(mount.mountPoint, clean) &&
            (!longest || mount.mountPoint.size() > longest->mountPoint.size()))
            longest = std::move(mount);
    return longest;
}

} // namespace

QString Volume::displayLabel() const {
    if (!label.isEmpty())
        return label;
    if (mountPoint == QLatin1String("/"))
        return mountPoint;
    return mountPoint.mid(mountPoint.lastIndexOf(QLatin1Char('/')) + 1);
}

std::vector<Volume> SystemVolumes() {
    // From the mount table, each volume asked about itself: Qt's list of volumes asks every
    // one of them at once, and a share whose server stopped answering held the window.
    std::vector<Volume> volumes;
    const QHash<QString, QString> labels = DeviceLabels();
    for (const MountEntry& mount : MountTable()) {
        // The system's own mounts below these hold nothing a user would look for.
        if (std::any_of(
                std::begin(kSystemFolders), std::end(kSystemFolders),
                [&](const char* folder) { return MountPointHolds(folder, mount.mountPoint); }))
            continue;
        const bool isRoot = mount.mountPoint == QLatin1String("/");
        const std::string bytes = QFile::encodeName(mount.mountPoint).toStdString();
        // One that does not answer in time is listed as not ready.
        const VolumeAnswer answer = MayStall(mount.type) ? AskInTime(bytes) : AskSystem(bytes);
        // A volume of no size holds nothing a user would look for.
        if (!isRoot && (!answer.folder || answer.totalSize == uint64_t(0)))
            continue;
        Volume volume;
        volume.mountPoint = mount.mountPoint;
        const QString device = QFile::decodeName(mount.device);
        volume.label = device.startsWith(QLatin1Char('/'))
                           ? labels.value(QFileInfo(device).canonicalFilePath())
                           : QString();
        volume.device = QString::fromLocal8Bit(mount.device);
        volume.fileSystem = QString::fromLatin1(mount.type);
        volume.kind = KindOf(mount.device, mount.type);
        volume.totalSize = answer.totalSize;
        // A later mount over the same point hides the earlier one.
        auto same = std::find_if(volumes.begin(), volumes.end(),
                                 [&](const Volume& v) { return v.mountPoint == mount.mountPoint; });
        if (same != volumes.end())
            *same = volume;
        else
            volumes.push_back(volume);
    }
    if (std::none_of(volumes.begin(), volumes.end(),
                     [](const Volume& v) { return v.mountPoint == QLatin1String("/"); })) {
        Volume root;
        root.mountPoint = QStringLiteral("/");
        root.totalSize = AskSystem("/").totalSize;
        volumes.push_back(root);
    }
    std::stable_sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
        const bool aRoot = a.mountPoint == QLatin1String("/");
        const bool bRoot = b.mountPoint == QLatin1String("/");
        if (aRoot != bRoot)
            return aRoot;
        return a.mountPoint < b.mountPoint;
    });
    return volumes;
}

std::vector<Volume> LogicalVolumes() {
    return Source() ? Source()() : SystemVolumes();
}

VolumeSource SetVolumeSource(VolumeSource source) {
    VolumeSource previous = std::move(Source());
    Source() = std::move(source);
    return previous;
}

std::optional<Volume> VolumeOfPath(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    const QString clean = QDir::cleanPath(path);
    std::optional<Volume> best;
    for (const Volume& volume : LogicalVolumes()) {
        if (!MountPointHolds(volume.mountPoint, clean))
            continue;
        if (!best || volume.mountPoint.size() > best->mountPoint.size())
            best = volume;
    }
    return best;
}

QString MountPointOf(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    const auto mount = MountHolding(path, false);
    return mount ? mount->mountPoint : QStringLiteral("/");
}

QString FallbackFolder() {
    const auto volume = VolumeOfPath(CurrentFolderPath());
    if (!volume || volume->mountPoint == QLatin1String("/"))
        return QStringLiteral("/");
    return volume->mountPoint + QLatin1Char('/');
}

bool DriveAvailable(const QString& path) {
    const auto volume = VolumeOfPath(path);
    if (!volume || !volume->ready())
        return false;
    if (volume->kind != VolumeKind::Network && volume->kind != VolumeKind::CdRom)
        return true;
    // An empty disc drive or a dead share has nothing in its root; "." and ".." are always
    // there here, so they do not count.
    const std::string root = PathToBytes(volume->mountPoint);
    auto holdsEntries = [root] {
        FileSearch search;
        FindData found;
        for (bool ok = search.FindFirst(root, faAnyFile, found); ok; ok = search.FindNext(found))
            if (found.bytes != "." && found.bytes != "..")
                return true;
        return false;
    };
    if (!MayStallAt(volume->mountPoint))
        return holdsEntries();
    // A share is asked for its root within the wait, not for as long as it takes. One that
    // told its size just now (ready) is slow rather than gone when its root takes longer: it
    // counts as there, so that the folder shown is not left for that.
    return AnswerWithin<bool>("entries " + root, kStallWait, holdsEntries).value_or(true);
}

std::optional<uint64_t> DriveTotalSize(const QString& path) {
    const auto volume = VolumeOfPath(path);
    if (!volume)
        return std::nullopt;
    return volume->totalSize;
}

bool CheckDrive(const QString& path, bool showMessages, const QString& invalidDriveText,
                const QString& notReadyText) {
    const auto volume = VolumeOfPath(path);
    if (!volume) {
        if (showMessages)
            ShowMessageBox({QStringLiteral("エラー"), invalidDriveText, QMessageBox::Ok,
                            QMessageBox::Critical});
        return false;
    }
    if (volume->ready())
        return true;
    if (showMessages) {
        Beep();
        ShowMessageBox(
            {QStringLiteral("警告"), notReadyText, QMessageBox::Ok, QMessageBox::Warning});
    }
    return false;
}

bool MayStallAt(const QString& path) {
    // Pseudo file systems too: a desktop's own share mounts are among them.
    const auto mount = MountHolding(path, true);
    return mount && MayStall(mount->type);
}

std::optional<std::optional<std::vector<std::string>>> SubfolderNamesInTime(const QString& folder) {
    std::string bytes = PathToBytes(folder);
    // "a/b/" and "a/b" list the same folder: the tree and the watchers ask one question.
    while (bytes.size() > 1 && bytes.back() == '/')
        bytes.pop_back();
    if (!MayStallAt(folder))
        return SubfolderNames(bytes);
    return AnswerWithin<std::optional<std::vector<std::string>>>(
        "subfolders " + bytes, kStallWait, [bytes] { return SubfolderNames(bytes); });
}

std::optional<std::optional<FindData>> FileInfoOfInTime(const QString& path) {
    const std::string bytes = PathToBytes(path);
    if (!MayStallAt(path))
        return FileInfoOf(bytes);
    return AnswerWithin<std::optional<FindData>>("info " + bytes, kStallWait,
                                                 [bytes] { return FileInfoOf(bytes); });
}

} // namespace platform
