#include "platform/toolkit/widgets/errors.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace tk {

const char *const kUnknownErrorText = "Erro desconhecido";

namespace {

ExceptionHandler &installedHandler()
{
    static ExceptionHandler handler;
    return handler;
}

void showDialog(const std::string &message)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return;
    }
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QStringLiteral("Erro");
    QMessageBox::critical(QApplication::activeWindow(), title, QString::fromStdString(message));
}

} // namespace

ExceptionHandler SetExceptionHandler(ExceptionHandler handler)
{
    ExceptionHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

void ShowExceptionMessage(const std::string &message)
{
    // A copy, so that a handler replacing itself while it runs stays alive until it returns.
    const ExceptionHandler handler = installedHandler();
    if (handler) {
        try {
            handler(message);
        } catch (...) {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
        return;
    }
    showDialog(message);
}

void ShowException(const std::exception &e)
{
    ShowExceptionMessage(e.what());
}

void ShowExceptionLater(const std::string &message)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        ShowExceptionMessage(message);
        return;
    }
    QTimer::singleShot(0, app, [message] { ShowExceptionMessage(message); });
}

ExceptionRecorder::ExceptionRecorder()
{
    m_previous = SetExceptionHandler([this](const std::string &message) { m_messages.push_back(message); });
}

ExceptionRecorder::~ExceptionRecorder()
{
    SetExceptionHandler(std::move(m_previous));
}

} // namespace tk
