// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/errors.h"

#include <cerrno>
#include <cstring>

namespace {

std::string ReadMessage(ErrorKind kind, const std::string& detail) {
    switch (kind) {
    case ErrorKind::NotPdf:
        return "PDF ファイルではありません";
    case ErrorKind::Damaged:
        return "PDF ファイルが壊れていて読めません" + (detail.empty() ? "" : "（" + detail + "）");
    case ErrorKind::UnsupportedFilter:
        return detail + " のデータは読めません（対応していない方式です）";
    case ErrorKind::WrongPassword:
        return "パスワードが違います（文書の構造が暗号化されていて読めません）";
    case ErrorKind::OverBudget:
        return "読み取りの上限を超えました（" + detail + "）";
    case ErrorKind::Unreadable:
        return detail;
    default:
        return detail;
    }
}

} // namespace

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::NotPdf:
        return "not-pdf";
    case ErrorKind::Damaged:
        return "damaged";
    case ErrorKind::UnsupportedFilter:
        return "unsupported-filter";
    case ErrorKind::WrongPassword:
        return "wrong-password";
    case ErrorKind::OverBudget:
        return "over-budget";
    case ErrorKind::Unreadable:
        return "unreadable";
    case ErrorKind::CannotCreate:
        return "cannot-create";
    case ErrorKind::InvalidFileName:
        return "invalid-file-name";
    case ErrorKind::Other:
        break;
    }
    return "other";
}

EReadError::EReadError(ErrorKind kind, const std::string& detail)
    : EPagewickError(kind, ReadMessage(kind, detail)) {}

EFOpenError::EFOpenError(const std::string& fileName, const std::string& reason)
    : EPagewickError(ErrorKind::Unreadable, "ファイル " + fileName + " は開けません" +
                                                (reason.empty() ? "" : "（" + reason + "）")) {}

EFCreateError::EFCreateError(const std::string& fileName)
    : EPagewickError(ErrorKind::CannotCreate, "ファイル " + fileName + " を作成できません") {}

EFCreateError::EFCreateError(const std::string& fileName, const std::string& reason)
    : EPagewickError(ErrorKind::CannotCreate,
                     "ファイル " + fileName + " を作成できません（" + reason + "）") {}

std::string SystemReason(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "ファイルがありません";
    case EACCES:
    case EPERM:
        return "読み取りが許可されていません";
    case EISDIR:
        return "フォルダです";
    case ELOOP:
        return "シンボリックリンクが循環しています";
    case EIO:
        return "読み取り中に入出力エラーが起きました";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます";
    default:
        return std::strerror(error);
    }
}
