// The event boundary: every handler error reaches the one exception handler, and the caller
// carries on.

#include "platform/toolkit/widgets/errors.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace tk {
namespace {

TEST(CallSafely, RoutesExceptionsToTheHandler)
{
    ExceptionRecorder recorder;
    int ran = 0;

    EXPECT_TRUE(CallSafely([&] { ++ran; }));
    EXPECT_TRUE(recorder.Messages().empty());

    EXPECT_FALSE(CallSafely([&] {
        ++ran;
        throw std::runtime_error("Servidor de aplicação não respondeu");
    }));
    EXPECT_FALSE(CallSafely([] { throw 42; }));
    EXPECT_EQ(ran, 2);
    ASSERT_EQ(recorder.Messages().size(), 2u);
    EXPECT_EQ(recorder.Messages()[0], "Servidor de aplicação não respondeu");
    EXPECT_EQ(recorder.Messages()[1], kUnknownErrorText);
}

TEST(CallSafely, RecordersNestAndRestore)
{
    ExceptionRecorder outer;
    {
        ExceptionRecorder inner;
        CallSafely([] { throw std::logic_error("inner"); });
        EXPECT_EQ(inner.Messages(), std::vector<std::string>{"inner"});
    }
    CallSafely([] { throw std::logic_error("outer"); });
    EXPECT_EQ(outer.Messages(), std::vector<std::string>{"outer"});
}

TEST(CallSafely, AFailingHandlerDoesNotEscape)
{
    ExceptionHandler previous =
        SetExceptionHandler([](const std::string &) { throw std::runtime_error("x"); });
    EXPECT_FALSE(CallSafely([] { throw std::runtime_error("first"); }));
    SetExceptionHandler(std::move(previous));
}

TEST(ShowExceptionLater, ArrivesFromTheEventLoop)
{
    ExceptionRecorder recorder;
    ShowExceptionLater("depois");
    EXPECT_TRUE(recorder.Messages().empty());
    QDeadlineTimer deadline(5000);
    while (recorder.Messages().empty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"depois"});
}

} // namespace
} // namespace tk
