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

ErrorDescriber &installedDescriber()
{
    static ErrorDescriber describer;
    return describer;
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

ErrorDescriber SetErrorDescriber(ErrorDescriber describer)
{
    ErrorDescriber previous = std::move(installedDescriber());
    installedDescriber() = std::move(describer);
    return previous;
}

std::string DescribeError(const std::exception &e)
{
    const ErrorDescriber describer = installedDescriber();
    if (describer) {
        try {
            return describer(e);
        } catch (...) {
            // A describer that fails must not hide the error itself.
        }
    }
    return e.what();
}

void ShowException(const std::exception &e)
{
    ShowExceptionMessage(DescribeError(e));
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
