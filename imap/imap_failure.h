#pragma once
// A command that cannot be carried out, with the reply it gets: BAD for
// what the client got wrong, NO for what cannot be done. Thrown by the
// argument checks and the command handlers; the session turns it into the
// tagged reply and goes on with the next command.
#include "core/exception.h"

class ImapFailure : public vx::Exception {
public:
    enum class Kind { Bad, No };
    ImapFailure(Kind kind, const vx::Str& text) : vx::Exception(text), kind(kind) {}
    Kind GetKind() const { return kind; }

    static ImapFailure Bad(const vx::Str& text) { return ImapFailure(Kind::Bad, text); }
    static ImapFailure No(const vx::Str& text) { return ImapFailure(Kind::No, text); }

private:
    Kind kind;
};
