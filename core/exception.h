#pragma once
// The program's own exception tree. Nothing here derives from std::exception,
// so the boundaries can tell our failures from the standard library's.
#include <cstdint>

#include "core/str.h"

namespace vx {

class Exception {
public:
    // The code, when not 0, is appended to the text as " (code)".
    Exception(const Str& text, int32_t code);
    explicit Exception(const Str& text) : Exception(text, 0) {}
    virtual ~Exception() = default;

    virtual const Str& Message() const { return message; }
    virtual int32_t Code() const { return code; }

protected:
    struct Verbatim {};
    // For subclasses whose text already carries the number in its own form.
    Exception(Verbatim, const Str& text, int32_t code) : code(code), message(text) {}

private:
    int32_t code;
    Str message;
};

}  // namespace vx

namespace vxw {

// Failures of the socket and TLS layer.
class SocketError : public vx::Exception {
public:
    using vx::Exception::Exception;
    // A failed system call: "<text> - <described>", where described is the
    // number with the system's words; Code() is the number. No number, no
    // tail.
    static SocketError FromSystem(const vx::Str& text, int32_t code, const vx::Str& described) {
        return SocketError(Verbatim{}, code == 0 ? text : text + " - " + described, code);
    }

protected:
    SocketError(Verbatim verbatim, const vx::Str& text, int32_t code) : vx::Exception(verbatim, text, code) {}
};

// Failures of the HTTP layer.
class HttpError : public SocketError {
public:
    using SocketError::SocketError;
};

// The peer closed the connection.
class SocketClosed : public SocketError {
public:
    using SocketError::SocketError;
};

// A processor fault (division by zero, invalid access) turned into an exception.
class WinException : public vx::Exception {
public:
    // code is the system's exception code, e.g. 0xC0000094.
    explicit WinException(uint32_t code);
    // "WINEXCEPTION: " + DescriptionOf(code) + " (" + code + ")"
    static vx::Str Describe(uint32_t code);
    // The system's description of a fault code, "Unknown Exception." if none.
    static const char* DescriptionOf(uint32_t code);
};

}  // namespace vxw
