// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Mounted volumes stand in for drives: "/" first, then the other real (not pseudo) file
// systems in mount-point order.

#include "platform/filesearch.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class VolumeKind { Fixed, Removable, CdRom, Network };

struct Volume {
    QString mountPoint; // absolute, without trailing "/" except "/" itself
    QString label;      // the file system's name; empty when it has none
    QString device;     // the mount source, for example /dev/sda1 or server:/export
    QString fileSystem; // for example ext4, nfs, iso9660
    VolumeKind kind = VolumeKind::Fixed;
    // statvfs of the mount point; nothing when the volume cannot be asked (not ready).
    std::optional<uint64_t> totalSize;

    bool ready() const { return totalSize.has_value(); }
    // label, else the last component of the mount point ("/" for the root).
    QString displayLabel() const;
};

// The volumes a user would see, freshly read on every call (through the hook when one is set).
std::vector<Volume> LogicalVolumes();

using VolumeSource = std::function<std::vector<Volume>()>;
// Replaces the source of LogicalVolumes; an empty function restores the system's. Returns the
// previous source.
VolumeSource SetVolumeSource(VolumeSource source);

// The volumes of the system itself, bypassing the hook. A network share or a file system in
// user space that does not answer within half a second is listed as not ready.
std::vector<Volume> SystemVolumes();

// The volume whose mount point is the longest prefix (by whole components) of path.
std::optional<Volume> VolumeOfPath(const QString& path);

// The mount point of the volume VolumeOfPath gives, told from the mount table alone: no volume
// is asked anything, so a share whose server stopped answering holds up no one who asks about
// another folder. Empty for an empty or relative path.
QString MountPointOf(const QString& path);

// The mount point of the volume that holds the process's current directory, with trailing "/";
// "/" when that cannot be told.
QString FallbackFolder();

// Whether the volume holding path can be read now: its total size can be obtained, and for a
// network or CD volume its mount point also holds at least one entry besides "." and "..".
// An empty or relative path is not ready. A share's root is listed within a wait (MayStallAt);
// one not listed by then counts as holding entries.
bool DriveAvailable(const QString& path);

// The total size in bytes of the volume that holds path, or nothing when it is not ready or
// path lies on no volume.
std::optional<uint64_t> DriveTotalSize(const QString& path);

// The chooser's drive check. A path that lies on no volume (empty, relative) is an invalid
// drive: with showMessages an error box (caption "エラー", OK) shows invalidDriveText. A volume
// whose total size cannot be obtained is not ready: with showMessages the error beep sounds and
// a warning box (caption "警告", OK) shows notReadyText. Returns whether the volume is ready.
bool CheckDrive(const QString& path, bool showMessages, const QString& invalidDriveText,
                const QString& notReadyText);

// Whether path lies on a network share or a file system in user space (through the hook: a
// network volume), told from the mount table alone: such a volume may not answer for minutes.
bool MayStallAt(const QString& path);

// SubfolderNames(folder). On a volume that may stall, listed on a thread of its own and waited
// for half a second at most (AnswerWithin): the outer nothing when it does not answer in time.
std::optional<std::optional<std::vector<std::string>>> SubfolderNamesInTime(const QString& folder);
// FileInfoOf(path), by its bytes; on a volume that may stall, asked as SubfolderNamesInTime
// asks.
std::optional<std::optional<FindData>> FileInfoOfInTime(const QString& path);

} // namespace platform
