// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The platform layer: the few operating-system services the program needs, each provided by
// the closest native service of a Linux desktop and named after what the program expects of it.
//
//   filesearch.h  FindFirst/FindNext-like folder search with Windows attribute bits, file
//                 attributes of a path
//   volumes.h     mounted volumes as drives, FallbackFolder, DriveAvailable, DriveTotalSize
//   process.h     the executable's path, FindAssociatedProgram, StartProcess, Exec-line
//                 expansion, the URL handler
//   keyboard.h    KanaLockOn
//   icons.h       file, folder and volume icons from the icon theme
//   watchers.h    mount-table watcher and folder watcher (shell change codes)
//   dialogs.h     message boxes, beep, hourglass cursor, processing pending events
//   places.h      the user's home, documents and desktop folders
//
// Paths use "/" and are QStrings (file names decoded as the locale's 8-bit encoding, UTF-8).
// Every service that reaches outside the process has a hook (hooks.h) so that tests can feed
// fake volumes, key states, message-box answers, icons and process starts.

#include "platform/dialogs.h"
#include "platform/hooks.h"
#include "platform/icons.h"
#include "platform/keyboard.h"
#include "platform/pathnames.h"
#include "platform/places.h"
#include "platform/process.h"
#include "platform/volumes.h"
#include "platform/watchers.h"
