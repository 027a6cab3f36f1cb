// SPDX-License-Identifier: GPL-3.0-or-later
#include "dirchooser/DirCaptions.h"

#include <QRegularExpression>

#include <cstdlib>

namespace {

const TDirCaptionSet& JapaneseSet() {
    static const TDirCaptionSet set = {
        QStringLiteral("ドライブ "),
        QStringLiteral("フォルダ \""),
        QStringLiteral("エラー - "),
        QStringLiteral(" ファイル "),
        QStringLiteral("から  : "),
        QStringLiteral("へ     : "),
        QStringLiteral("エラー - 実行出来ません "),
        QStringLiteral("ディレクトリを指定して下さい"),
        QStringLiteral("不正な ドライブID です"),
        QStringLiteral("ディスクが挿入されていないか、ドライブの準備が出来ていません"),
        QStringLiteral("既に同名のものが存在しています !"),
        QStringLiteral("エラー - 不正なディレクトリ名です"),
        QStringLiteral("選択したフォルダの名前を変更しますか？"),
        QStringLiteral("ドライブを追加できません"),
        QStringLiteral("新しいフォルダ"),
        QStringLiteral("フォルダ名に不正な文字が含まれています"),
        QStringLiteral("見つかりません"),
        QStringLiteral("ファイル in "),
        QStringLiteral("ファイルの操作に失敗しました"),
        QStringLiteral("フォルダサイズ"),
        QStringLiteral("と以下全てのサブフォルダのサイズ "),
    };
    return set;
}

const TDirCaptionSet& EnglishSet() {
    static const TDirCaptionSet set = {
        QStringLiteral("Drive "),
        QStringLiteral("Folder \""),
        QStringLiteral("ERROR - "),
        QStringLiteral(" file "),
        QStringLiteral("From  : "),
        QStringLiteral("To     : "),
        QStringLiteral("ERROR - Can't "),
        QStringLiteral("Please specify a directory"),
        QStringLiteral("Not a valid Drive ID"),
        QStringLiteral("There is no disk in Drive or Drive is not ready"),
        QStringLiteral("already exists !"),
        QStringLiteral("Error - Invalid Directory Name"),
        QStringLiteral("Do you want to rename the selected folder"),
        QStringLiteral("Can't add drives"),
        QStringLiteral("New Folder"),
        QStringLiteral("Folder Name contains invalid characters"),
        QStringLiteral("not found"),
        QStringLiteral("Files in "),
        QStringLiteral("File operation failed"),
        QStringLiteral("TREE SIZE"),
        QStringLiteral("and all its Sub-Folders "),
    };
    return set;
}

struct CurrentCaptions {
    TLanguage language = lnEnglish;
    TDirCaptionSet texts = EnglishSet();
};

CurrentCaptions& Current() {
    static CurrentCaptions current;
    return current;
}

} // namespace

TLanguage LanguageOfLocaleName(const QString& localeName) {
    // "ja_JP.UTF-8@euro": the language is what stands before "_", "." or "@".
    QString name = localeName.trimmed().toLower();
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        name.truncate(cut);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString language = name.section(QLatin1Char('_'), 0, 0);
    const QString region = name.section(QLatin1Char('_'), 1);

    if (language == QLatin1String("zh")) {
        // Mainland China and Singapore write the simplified characters.
        const bool simplified = region.startsWith(QLatin1String("cn")) ||
                                region.startsWith(QLatin1String("sg")) ||
                                region.startsWith(QLatin1String("hans"));
        return simplified ? lnChinese_Sim : lnChinese_Tra;
    }
    static const struct {
        const char* code;
        TLanguage language;
    } table[] = {
        {"de", lnGerman},   {"es", lnSpanish}, {"fr", lnFrench},    {"it", lnItalian},
        {"ja", lnJapanese}, {"nl", lnDutch},   {"pl", lnPolish},    {"pt", lnPortuguese},
        {"sk", lnSlovak},   {"sv", lnSwedish}, {"sl", lnSlovenian},
    };
    for (const auto& entry : table) {
        if (language == QLatin1String(entry.code))
            return entry.language;
    }
    return lnEnglish;
}

TLanguage UserDefaultLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return LanguageOfLocaleName(QString::fromLocal8Bit(value));
    }
    return lnEnglish;
}

TDirCaptionSet CaptionSetOf(TLanguage language) {
    return language == lnJapanese ? JapaneseSet() : EnglishSet();
}

TLanguage CurrentCaptionLanguage() {
    return Current().language;
}

void LoadCaptionSet(TLanguage language) {
    if (language == lnSysDefault)
        language = UserDefaultLanguage();
    Current().language = language;
    Current().texts = CaptionSetOf(language);
}

const QString& DirCaption(TDirCaption entry) {
    static const QString none;
    if (entry < 0 || entry >= dcCaptionCount)
        return none;
    return Current().texts[static_cast<size_t>(entry)];
}
