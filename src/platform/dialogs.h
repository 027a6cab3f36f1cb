// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Message boxes, the error beep, the hourglass cursor and message processing. Tests replace the
// box through SetMessageBoxHandler and read what would have been shown.

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace platform {

struct MessageBoxRequest {
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool foreground = false;  // bring the box to the front (MB_SETFOREGROUND)
    QWidget* owner = nullptr; // none: an application-modal box of its own
};

// Shows the box modally and returns the button pressed (the default button when closed).
QMessageBox::StandardButton ShowMessageBox(const MessageBoxRequest& request);

// A tool tip that shows text as it is: Qt takes a tip whose first line holds a tag (a name
// such as "<h1>x.pdf") for HTML. Blanks are kept, long lines wrapped.
QString PlainToolTip(const QString& text);

using MessageBoxHandler = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The application's standard error box: the text, the application's display name as caption,
// the critical icon and OK.
void ShowErrorBox(const QString& text, QWidget* owner = nullptr);

// The error beep (MessageBeep).
void Beep();
using BeepHandler = std::function<void()>;
BeepHandler SetBeepHandler(BeepHandler handler);

// Shows the hourglass cursor for its lifetime; nests.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Lets the application handle its pending events (paint, input, timers) once.
void ProcessPendingEvents();

} // namespace platform
