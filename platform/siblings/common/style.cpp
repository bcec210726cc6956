#include "platform/siblings/common/style.h"

#include "platform/hostlib/busyindicator.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace siblings {

void SetWindowLook(QWidget &window, QStyle::StandardPixmap icon)
{
    window.setWindowIcon(window.style()->standardIcon(icon));
}

QLineEdit *ReadOnlyField(QWidget *parent, const QString &objectName, int minimumChars)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    edit->setPalette(palette);
    if (minimumChars > 0)
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('M')) * minimumChars / 2
                              + 12);
    return edit;
}

QLabel *FieldCaption(QWidget *parent, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setBuddy(buddy);
    return label;
}

QWidget *CallerWindow()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return host::MainWindow();
}

} // namespace siblings
