#pragma once
// How an operation of the web mail client reports a failure on its way out:
// one log line that names the operation and what was caught, followed, with
// ExtraLogging, by the session's last answer from the service; then the same
// exception goes on to the caller unchanged.
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
    // with extraLogging " - " and the last answer.
    static vx::Str Text(const char* tag, Caught caught, const vx::Str& what, bool extraLogging,
                        const vx::Str& lastHeaders, const vx::Str& lastBody);

private:
    const char* tag;
    const vx::Str& lastHeaders;
    const vx::Str& lastBody;
};
