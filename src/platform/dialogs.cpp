// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialogs.h"

#include <QApplication>
#include <QGuiApplication>

namespace platform {
namespace {

MessageBoxHandler& BoxHandler() {
    static MessageBoxHandler handler;
    return handler;
}

BeepHandler& BeepHook() {
    static BeepHandler handler;
    return handler;
}

QMessageBox::StandardButton RealMessageBox(const MessageBoxRequest& request) {
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, request.owner);
    // Every text is the program's words with names and paths in them; Qt would take one whose
    // first line holds a tag ("<h1>x.pdf") for HTML, and hide or restyle the name.
    box.setTextFormat(Qt::PlainText);
    if (!request.owner)
        box.setWindowModality(Qt::ApplicationModal);
    if (request.foreground)
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    if (request.foreground) {
        box.raise();
        box.activateWindow();
    }
    const int result = box.exec();
    // Closing the box without a button counts as its escape (or only) button.
    if (result == 0 && box.clickedButton() == nullptr)
        return box.escapeButton() ? box.standardButton(box.escapeButton()) : QMessageBox::Ok;
    return QMessageBox::StandardButton(result);
}

} // namespace

QString PlainToolTip(const QString& text) {
    return text.isEmpty() ? text
                          : QStringLiteral("<p style='white-space:pre-wrap'>") +
                                text.toHtmlEscaped() + QStringLiteral("</p>");
}

QMessageBox::StandardButton ShowMessageBox(const MessageBoxRequest& request) {
    if (BoxHandler())
        return BoxHandler()(request);
    return RealMessageBox(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(BoxHandler());
    BoxHandler() = std::move(handler);
    return previous;
}

void ShowErrorBox(const QString& text, QWidget* owner) {
    MessageBoxRequest request;
    request.caption = QGuiApplication::applicationDisplayName();
    request.text = text;
    request.icon = QMessageBox::Critical;
    request.owner = owner;
    ShowMessageBox(request);
}

void Beep() {
    if (BeepHook())
        BeepHook()();
    else
        QApplication::beep();
}

BeepHandler SetBeepHandler(BeepHandler handler) {
    BeepHandler previous = std::move(BeepHook());
    BeepHook() = std::move(handler);
    return previous;
}

WaitCursor::WaitCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QGuiApplication::restoreOverrideCursor();
}

void ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

} // namespace platform
