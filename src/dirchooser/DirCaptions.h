// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The caption set of the folder chooser: 21 texts shared by every chooser in the program. The
// last language that a chooser selects wins, as the texts are global.

#include <QString>

#include <array>
#include <cstdint>

enum TLanguage : uint8_t {
    lnSysDefault,
    lnEnglish,
    lnChinese_Tra,
    lnChinese_Sim,
    lnDutch,
    lnFrench,
    lnGerman,
    lnItalian,
    lnJapanese,
    lnPolish,
    lnPortuguese,
    lnSlovenian,
    lnSlovak,
    lnSpanish,
    lnSwedish,
};

// Positions in the caption set, counted from 0 (entry 1 of the table is index 0).
enum TDirCaption : int {
    dcDrivePrefix,
    dcFolderPrefix,
    dcErrorPrefix,
    dcFileWord,
    dcSourceLabel,
    dcTargetLabel,
    dcCannotExecute,
    dcSpecifyDirectory,
    dcInvalidDrive,
    dcDriveNotReady,
    dcAlreadyExists,
    dcInvalidDirectoryName,
    dcRenameFolder,
    dcCannotAddDrives,
    dcNewFolderName,
    dcInvalidFolderCharacters,
    dcNotFound,
    dcFilesIn,
    dcFileOperationFailed,
    dcFolderSizeTitle,
    dcAllSubfolders,
    dcCaptionCount
};

using TDirCaptionSet = std::array<QString, dcCaptionCount>;

// The language of the user's locale: LC_ALL, then LC_MESSAGES, then LANG, as the C library
// reads them. Never lnSysDefault.
TLanguage UserDefaultLanguage();

// The language a locale name such as "ja_JP.UTF-8" or "zh_CN" stands for; lnEnglish for the C
// locale and for anything unknown.
TLanguage LanguageOfLocaleName(const QString& localeName);

// The texts of one language. Languages without texts of their own read the English set.
TDirCaptionSet CaptionSetOf(TLanguage language);

// The program-wide language and its texts.
TLanguage CurrentCaptionLanguage();
void LoadCaptionSet(TLanguage language);
const QString& DirCaption(TDirCaption entry);
