#pragma once
// How an operation of the web mail client reports a failure on its way out:
// one log line that names the operation and what was caught, followed, with
// ExtraLogging, by the session's last answer from the service in one line;
// then the same exception goes on to the caller unchanged.
#include <utility>

#include "core/exception.h"
#include "core/str.h"

class FailureLog {
public:
    enum class Caught { HttpError, Vx, Std, Other };

    // lastHeaders and lastBody are read when a failure is logged, so the line
    // shows the answer that was last at that moment.
    FailureLog(const char* tag, const vx::Str& lastHeaders, const vx::Str& lastBody)
        : tag(tag), lastHeaders(lastHeaders), lastBody(lastBody) {}

    // Runs body and returns its result; whatever it throws is logged and
    // thrown again.
    template <class Body>
    decltype(auto) Run(Body&& body) const {
        try {
            return std::forward<Body>(body)();
        } catch (...) {
            LogCurrent();
            throw;
        }
    }

    // Logs the exception being handled. Only inside a handler.
    void LogCurrent() const;

    // The log line: tag, the handler's name, what the exception says, and
    // with extraLogging " - " and the last answer (AnswerText).
    static vx::Str Text(const char* tag, Caught caught, const vx::Str& what, bool extraLogging,
                        const vx::Str& lastHeaders, const vx::Str& lastBody);

    // An answer of the service as a log line or an error text may show it:
    // its status line, then " - " and its body in one line of at most
    // kMaxBodyText characters (a markup page without its tags, every run of
    // blanks and line breaks as one blank, "…" where it was cut).
    static vx::Str AnswerText(const vx::Str& headers, const vx::Str& body);
    static constexpr size_t kMaxBodyText = 200;

private:
    const char* tag;
    const vx::Str& lastHeaders;
    const vx::Str& lastBody;
};
