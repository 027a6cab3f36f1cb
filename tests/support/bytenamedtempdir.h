// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A temporary folder that goes with every name in it: Qt's own cannot remove a name that is
// not in the locale's encoding, and would leave it behind in the shared temporary folder.

#include <QTemporaryDir>
#include <filesystem>
#include <system_error>

struct ByteNamedTempDir : QTemporaryDir {
    ~ByteNamedTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path().toStdString(), ignored);
    }
};
