// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own texts (the buttons and labels of its dialogs, the message boxes' buttons) in
// Japanese, as the rest of the window is.

class QCoreApplication;

// Installs Qt's Japanese translations (package qt6-translations-l10n) into app; false when they
// are not installed, and Qt's texts stay English.
bool LoadJapaneseQtTranslations(QCoreApplication& app);
