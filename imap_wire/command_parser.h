#pragma once
// The argument parser under every IMAP command (RFC 3501, 4 and 9): a command
// as received (its lines, and the literal after each line that announced one)
// becomes a tag, a command name and a tree of arguments: atoms, strings
// (quoted or literal) and parenthesised lists. An atom that holds "[" runs to
// the matching "]" whatever lies between, so a fetch item such as
// BODY.PEEK[HEADER.FIELDS (FROM TO)]<0.100> stays one atom; its inside is
// parsed again with ParseArguments. The meaning of the arguments is each
// command's business.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/str.h"

struct ImapArg {
    enum class Kind { Atom, String, List };
    Kind kind = Kind::Atom;
    vx::Str text;               // Atom and String
    std::vector<ImapArg> list;  // List
    bool literal = false;       // a String that came as a literal

    bool IsAtom() const { return kind == Kind::Atom; }
    bool IsList() const { return kind == Kind::List; }
    // An atom or a string (RFC 3501 astring).
    bool IsAString() const { return kind != Kind::List; }
    // An atom spelt so, in any letter case.
    bool Is(std::string_view atom) const;
};

// One command as it arrived: lines[i] ends with a literal announcement
// exactly when i < literals.size(), and literals[i] is that literal.
struct ImapCommandText {
    std::vector<vx::Str> lines;
    std::vector<vx::Str> literals;
};

struct ImapCommand {
    vx::Str tag;
    vx::Str name;  // in upper case
    std::vector<ImapArg> args;
};

// The literal a line announces at its end: "{n}" (the client waits for a
// continuation) or "{n+}" (it does not, RFC 7888).
struct ImapLiteralMark {
    enum class Kind { None, Sync, NonSync, Bad };
    Kind kind = Kind::None;
    uint64_t size = 0;
};

namespace ImapParser {

ImapLiteralMark FindLiteralMark(std::string_view line);

// How much of the start of line ParseCommand takes as the tag, and of text
// as a command name; 0 when there is none.
size_t TagLength(std::string_view line);
size_t CommandNameLength(std::string_view text);

// Nesting of parenthesised lists (and of brackets inside an atom) beyond this
// is refused, so a hostile line cannot run the parser deep.
constexpr int kMaxNesting = 32;

// False with a short reason in error (for the BAD reply) when the command is
// not well formed. tag is set whenever the line starts with one, so the BAD
// reply can carry it.
bool ParseCommand(const ImapCommandText& text, ImapCommand& out, vx::Str& error);

// The arguments in text (no literals): the inside of a bracketed fetch item.
bool ParseArguments(std::string_view text, std::vector<ImapArg>& out, vx::Str& error);

}  // namespace ImapParser
