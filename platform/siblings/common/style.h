#pragma once

// The look the sibling modules share with the suite: a standard window icon, bold captions beside
// read-only fields, and the caller's window as the parent of a modal window.

#include <QStyle>
#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

namespace siblings {

// The window's icon from the application style.
void SetWindowLook(QWidget &window, QStyle::StandardPixmap icon);

// A read-only field as the suite shows looked-up values: no frame focus, the button-face
// background, text selectable for copying.
QLineEdit *ReadOnlyField(QWidget *parent, const QString &objectName, int minimumChars = 0);

// A caption for a field ("Código:").
QLabel *FieldCaption(QWidget *parent, const QString &text, QWidget *buddy);

// The window a modal sibling window opens over: the active window, else the host's main window.
QWidget *CallerWindow();

} // namespace siblings
