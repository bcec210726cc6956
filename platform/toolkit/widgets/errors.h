#pragma once

// The toolkit's event boundary for errors.
//
// Every place where a widget runs user code (click, page change, draw, key and double-click
// handlers, dataset moves started by a grid or a navigator) goes through CallSafely: an
// exception leaving the handler is shown with ShowException and the window stays usable.
// ShowException shows the default error dialog unless a handler was installed (tests and the
// driver record the messages instead).

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace tk {

using ExceptionHandler = std::function<void(const std::string &message)>;

// Installs a handler in place of the dialog and returns the previous one; nullptr restores the
// dialog.
ExceptionHandler SetExceptionHandler(ExceptionHandler handler);

// The text the user reads for an exception: e.what(), unless a describer was installed (the host
// library installs one that puts database and system failures into Portuguese words, with the
// technical text after them). SetErrorDescriber returns the previous describer; nullptr restores
// e.what().
using ErrorDescriber = std::function<std::string(const std::exception &e)>;
ErrorDescriber SetErrorDescriber(ErrorDescriber describer);
std::string DescribeError(const std::exception &e);

// Shows the error, in the words of DescribeError: the installed handler, else a critical message
// box with the text (on standard error when no application object exists).
void ShowException(const std::exception &e);
void ShowExceptionMessage(const std::string &message);
// The same, from the event loop once control returns to it. For errors found where a dialog
// must not open (inside a paint, inside a dataset notification).
void ShowExceptionLater(const std::string &message);

// The text shown for an exception that is not a std::exception.
extern const char *const kUnknownErrorText;

// Runs fn; an exception leaving it is shown and swallowed. True when fn returned normally.
template <typename Fn>
bool CallSafely(Fn &&fn) noexcept
{
    try {
        fn();
        return true;
    } catch (const std::exception &e) {
        ShowException(e);
    } catch (...) {
        ShowExceptionMessage(kUnknownErrorText);
    }
    return false;
}

// Records every shown error for its lifetime and restores the previous handler at its end.
class ExceptionRecorder
{
public:
    ExceptionRecorder();
    ~ExceptionRecorder();
    ExceptionRecorder(const ExceptionRecorder &) = delete;
    ExceptionRecorder &operator=(const ExceptionRecorder &) = delete;

    const std::vector<std::string> &Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<std::string> m_messages;
    ExceptionHandler m_previous;
};

} // namespace tk
