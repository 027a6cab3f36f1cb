// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/volumes.h"

#include "platform/dialogs.h"
#include "platform/pathnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
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

std::optional<uint64_t> TotalSizeOf(const QString& mountPoint) {
    struct statvfs info {};
    if (statvfs(QFile::encodeName(mountPoint).constData(), &info) != 0)
        return std::nullopt;
    return uint64_t(info.f_blocks) * uint64_t(info.f_frsize);
}

// "/a/b" holds "/a/b" and "/a/b/c", not "/a/bc".
bool MountPointHolds(const QString& mountPoint, const QString& path) {
    if (mountPoint == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == mountPoint || path.startsWith(mountPoint + QLatin1Char('/'));
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
    std::vector<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        const QString mountPoint = storage.rootPath();
        const QByteArray type = storage.fileSystemType();
        const bool isRoot = mountPoint == QLatin1String("/");
        if (!isRoot && (IsPseudoFileSystem(type) || !QFileInfo(mountPoint).isDir()))
            continue;
        Volume volume;
        volume.mountPoint = mountPoint;
        volume.label = storage.name();
        volume.device = QString::fromLocal8Bit(storage.device());
        volume.fileSystem = QString::fromLatin1(type);
        volume.kind = KindOf(storage.device(), type);
        volume.totalSize = TotalSizeOf(mountPoint);
        // A later mount over the same point hides the earlier one.
        auto same = std::find_if(volumes.begin(), volumes.end(),
                                 [&](const Volume& v) { return v.mountPoint == mountPoint; });
        if (same != volumes.end())
            *same = volume;
        else
            volumes.push_back(volume);
    }
    if (std::none_of(volumes.begin(), volumes.end(),
                     [](const Volume& v) { return v.mountPoint == QLatin1String("/"); })) {
        Volume root;
        root.mountPoint = QStringLiteral("/");
        root.totalSize = TotalSizeOf(root.mountPoint);
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

namespace {

// A mount point as the mount table writes it: blanks, tabs, newlines and backslashes as octal
// escapes.
QString UnescapedMountPoint(const QByteArray& field) {
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool octal = false;
        const int code = field[i] == '\\' ? field.mid(i + 1, 3).toInt(&octal, 8) : 0;
        if (octal && i + 3 < field.size()) {
            bytes += char(code);
            i += 3;
        } else {
            bytes += field[i];
        }
    }
    return QFile::decodeName(bytes);
}

} // namespace

QString MountPointOf(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    const QString clean = QDir::cleanPath(path);
    QString best = QStringLiteral("/");
    const auto consider = [&](const QString& mountPoint) {
        if (MountPointHolds(mountPoint, clean) && mountPoint.size() > best.size())
            best = mountPoint;
    };
    if (Source()) {
        for (const Volume& volume : Source()())
            consider(volume.mountPoint);
        return best;
    }
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": the fifth field
    // is the mount point, the type follows the "-".
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return best;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size() ||
            IsPseudoFileSystem(fields[dash + 1]))
            continue;
        consider(UnescapedMountPoint(fields[4]));
    }
    return best;
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
    FileSearch search;
    FindData found;
    for (bool ok = search.FindFirst(PathToBytes(volume->mountPoint), faAnyFile, found); ok;
         ok = search.FindNext(found)) {
        if (found.bytes != "." && found.bytes != "..")
            return true;
    }
    return false;
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

} // namespace platform
