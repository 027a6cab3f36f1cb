// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fileopener.h"

#include "app/qtpaths.h"
#include "platform/dialogs.h"
#include "platform/pathnames.h"
#include "platform/process.h"

namespace {

const QString kInfoCaption = QStringLiteral("Pagewick Ver. 1.0の情報");

void Inform(const QString& text) {
    platform::ShowMessageBox(
        {kInfoCaption, text, QMessageBox::Ok, QMessageBox::NoIcon, true, nullptr});
}

// The plan of a file that opens in its application, in the desktop's terminal when that
// application needs one.
StartPlan PlanForApplication(const QString& path, const QString& noApplication) {
    const auto program = platform::FindAssociatedProgram(path);
    if (!program)
        return {{}, {}, noApplication};
    const QStringList command = platform::ExpandExecLine(program->exec, path);
    if (command.isEmpty() || !program->terminal)
        return {command, {}, command.isEmpty() ? noApplication : QString()};
    const QStringList terminal = platform::TerminalCommand();
    if (terminal.isEmpty())
        return {
            {},
            {},
            QStringLiteral("%1 は端末の中で動くアプリケーションですが、端末"
                           "（x-terminal-emulator または xdg-terminal-exec）が見つかりません：\r\n")
                    .arg(program->name.isEmpty() ? command.first() : program->name) +
                path};
    return {terminal + command, {}, {}};
}

} // namespace

StartPlan PlanToOpen(const QString& path) {
    if (!platform::FileInfoOf(path))
        return {{}, {}, QStringLiteral("ファイルが存在しない又は実行できません：\r\n") + path};
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const QString ext = fileName.contains(QLatin1Char('.'))
                            ? path.mid(path.lastIndexOf(QLatin1Char('.'))).toLower()
                            : QString();
    const QString noApplication =
        QStringLiteral("このファイルを開くアプリケーションが関連付けられていません：\r\n") + path;
    if (ext == QLatin1String(".htm") || ext == QLatin1String(".html"))
        return platform::FindAssociatedProgram(path)
                   ? StartPlan{platform::UrlHandlerCommand(path), {}, {}}
                   : StartPlan{{}, {}, noApplication};
    // The path is taken by its bytes throughout: Qt's own file checks cannot name a file whose
    // name is not UTF-8.
    if (platform::IsProgramFile(path))
        return {{path}, FolderPart(path), {}};
    return PlanForApplication(path, noApplication);
}

void OpenFile(const QString& path) {
    const StartPlan plan = PlanToOpen(path);
    if (plan.command.isEmpty()) {
        Inform(plan.message);
        return;
    }
    if (const int error = platform::StartProcess(plan.command, plan.workingFolder); error != 0)
        Inform(QStringLiteral("Exec Error %1\r\n%2")
                   .arg(error)
                   .arg(platform::CommandLineText(plan.command)));
}
