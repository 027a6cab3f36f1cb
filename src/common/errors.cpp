// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/errors.h"

EFOpenError::EFOpenError(const std::string& fileName)
    : EPagewickError("ファイル " + fileName + " は開けません") {}

EListError::EListError(int64_t index)
    : EPagewickError("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")") {}

EFCreateError::EFCreateError(const std::string& fileName)
    : EPagewickError("ファイル " + fileName + " を作成できません") {}

EFCreateError::EFCreateError(const std::string& fileName, const std::string& reason)
    : EPagewickError("ファイル " + fileName + " を作成できません（" + reason + "）") {}
