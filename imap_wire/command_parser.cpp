#include "imap_wire/command_parser.h"

#include "text/ascii.h"

namespace ImapParser {
namespace {

bool IsDelimiter(char c) {
    return c == ' ' || c == '(' || c == ')' || c == '"' || static_cast<unsigned char>(c) < 0x20 ||
           c == 0x7f;
}

// Walks the lines and literals of one command.
class Cursor {
public:
    explicit Cursor(const ImapCommandText& text)
        : text(text),
          line(text.lines.empty() ? std::string_view() : std::string_view(text.lines[0])) {}

    bool AtLineEnd() const { return at >= line.size(); }
    bool AtEnd() const { return AtLineEnd() && index + 1 >= text.lines.size(); }
    char Peek() const { return line[at]; }
    void Skip() { ++at; }
    std::string_view Rest() const { return line.substr(at); }
    void Advance(size_t count) { at += count; }
    void Back(size_t count) { at -= count; }

    // After a literal announcement ended the line: its bytes, and the cursor
    // moves to the line that follows it.
    bool TakeLiteral(vx::Str& bytes) {
        if (index >= text.literals.size() || index + 1 >= text.lines.size()) return false;
        bytes = text.literals[index];
        ++index;
        line = text.lines[index];
        at = 0;
        return true;
    }

private:
    const ImapCommandText& text;
    std::string_view line;
    size_t index = 0;  // the line the cursor is in
    size_t at = 0;     // within it
};

class Parser {
public:
    explicit Parser(Cursor& cursor) : cursor(cursor) {}

    // Arguments up to the end of the command (depth 0) or to the ")" that
    // closes the list (depth > 0).
    bool ParseList(std::vector<ImapArg>& out, int depth) {
        for (;;) {
            if (cursor.AtLineEnd()) {
                if (depth > 0) return Fail("Missing ')'");
                if (!cursor.AtEnd()) return Fail("Unexpected text after a literal");
                return true;
            }
            char c = cursor.Peek();
            if (c == ')') {
                if (depth == 0) return Fail("Unexpected ')'");
                cursor.Skip();
                return true;
            }
            out.emplace_back();
            if (!ParseOne(out.back(), depth)) return false;
            if (cursor.AtLineEnd() || cursor.Peek() == ')') continue;
            if (cursor.Peek() != ' ') return Fail("Missing space between arguments");
            cursor.Skip();
            if (cursor.AtLineEnd() || cursor.Peek() == ')') return Fail("Extra space");
        }
    }

    const vx::Str& Error() const { return error; }

private:
    bool Fail(const char* text) {
        error = text;
        return false;
    }

    bool ParseOne(ImapArg& arg, int depth) {
        char c = cursor.Peek();
        if (c == '(') {
            if (depth >= kMaxNesting) return Fail("Lists nested too deep");
            cursor.Skip();
            arg.kind = ImapArg::Kind::List;
            return ParseList(arg.list, depth + 1);
        }
        if (c == '"') return ParseQuoted(arg);
        if (c == '{') return ParseLiteral(arg);
        if (c == ' ') return Fail("Extra space");
        return ParseAtom(arg);
    }

    bool ParseQuoted(ImapArg& arg) {
        arg.kind = ImapArg::Kind::String;
        cursor.Skip();
        for (;;) {
            if (cursor.AtLineEnd()) return Fail("Missing '\"'");
            char c = cursor.Peek();
            cursor.Skip();
            if (c == '"') return true;
            if (c == '\\') {
                if (cursor.AtLineEnd()) return Fail("Missing '\"'");
                c = cursor.Peek();
                if (c != '\\' && c != '"') return Fail("Invalid escape in a quoted string");
                cursor.Skip();
            } else if (c == '\0') {
                return Fail("NUL in a quoted string");
            }
            arg.text += c;
        }
    }

    bool ParseLiteral(ImapArg& arg) {
        ImapLiteralMark mark = FindLiteralMark(cursor.Rest());
        if (mark.kind == ImapLiteralMark::Kind::None || mark.kind == ImapLiteralMark::Kind::Bad ||
            cursor.Rest().rfind('{') != 0)
            return Fail("Invalid literal");
        arg.kind = ImapArg::Kind::String;
        arg.literal = true;
        cursor.Advance(cursor.Rest().size());
        if (!cursor.TakeLiteral(arg.text)) return Fail("Missing literal");
        return true;
    }

    // An atom; a "[" in it opens a stretch that runs to the matching "]"
    // (a fetch item). "[" is an atom character too (RFC 3501 9): where no
    // "]" closes it on the line, the atom ends at the next delimiter, as a
    // mailbox name such as foo[bar does.
    bool ParseAtom(ImapArg& arg) {
        arg.kind = ImapArg::Kind::Atom;
        const std::string_view rest = cursor.Rest();
        bool tooDeep = false;
        size_t length = BracketedLength(rest, tooDeep);
        if (tooDeep) return Fail("Brackets nested too deep");
        if (length == std::string_view::npos) {
            length = 0;
            while (length < rest.size() && !IsDelimiter(rest[length])) ++length;
        }
        if (length == 0) return Fail("Invalid characters in an atom");
        arg.text = vx::Str(rest.substr(0, length));
        cursor.Advance(length);
        return true;
    }

    // The length of the atom at the start of text with its brackets closed;
    // npos when a bracket stays open on the line.
    static size_t BracketedLength(std::string_view text, bool& tooDeep) {
        int brackets = 0;
        bool quoted = false;
        size_t at = 0;
        for (; at < text.size(); ++at) {
            char c = text[at];
            if (brackets == 0 && IsDelimiter(c)) break;
            if (brackets > 0 && static_cast<unsigned char>(c) < 0x20) break;
            if (quoted) {
                if (c == '\\' && at + 1 < text.size())
                    ++at;
                else if (c == '"')
                    quoted = false;
            } else if (c == '"') {
                quoted = true;
            } else if (c == '[') {
                if (++brackets > kMaxNesting) {
                    tooDeep = true;
                    return 0;
                }
            } else if (c == ']' && brackets > 0) {
                --brackets;
            }
        }
        return brackets > 0 ? std::string_view::npos : at;
    }

    Cursor& cursor;
    vx::Str error;
};

// Atom characters other than "+" (RFC 3501 tag).
bool IsTagChar(char c) {
    return !IsDelimiter(c) && c != '+' && c != '{' && c != '%' && c != '*' && c != '\\' &&
           c != ']';
}

bool IsCommandNameChar(char c) {
    char upper = vx::Ascii::ToUpper(c);
    return (upper >= 'A' && upper <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool ReadTag(Cursor& cursor, vx::Str& tag) {
    while (!cursor.AtLineEnd() && IsTagChar(cursor.Peek())) {
        tag += cursor.Peek();
        cursor.Skip();
    }
    return !tag.empty();
}

}  // namespace

size_t TagLength(std::string_view line) {
    size_t length = 0;
    while (length < line.size() && IsTagChar(line[length])) ++length;
    return length;
}

size_t CommandNameLength(std::string_view text) {
    size_t length = 0;
    while (length < text.size() && IsCommandNameChar(text[length])) ++length;
    return length;
}

ImapLiteralMark FindLiteralMark(std::string_view line) {
    ImapLiteralMark mark;
    if (line.empty() || line.back() != '}') return mark;
    size_t open = line.rfind('{');
    if (open == std::string_view::npos) return mark;
    std::string_view inside = line.substr(open + 1, line.size() - open - 2);
    mark.kind = ImapLiteralMark::Kind::Sync;
    if (!inside.empty() && inside.back() == '+') {
        mark.kind = ImapLiteralMark::Kind::NonSync;
        inside.remove_suffix(1);
    }
    // Twenty digits would not fit; no literal we take comes near that.
    if (inside.empty() || inside.size() > 19) mark.kind = ImapLiteralMark::Kind::Bad;
    for (char c : inside) {
        if (c < '0' || c > '9') return ImapLiteralMark{ImapLiteralMark::Kind::Bad, 0};
        mark.size = mark.size * 10 + static_cast<uint64_t>(c - '0');
    }
    if (mark.kind == ImapLiteralMark::Kind::Bad) mark.size = 0;
    return mark;
}

bool ParseCommand(const ImapCommandText& text, ImapCommand& out, vx::Str& error) {
    out = ImapCommand();
    if (text.lines.size() != text.literals.size() + 1) {
        error = "Incomplete command";
        return false;
    }
    Cursor cursor(text);
    if (!ReadTag(cursor, out.tag) || cursor.AtLineEnd() || cursor.Peek() != ' ') {
        error = out.tag.empty() ? "Missing tag" : "Missing command";
        if (!cursor.AtLineEnd() && !out.tag.empty() && cursor.Peek() != ' ') {
            error = "Invalid tag";
            out.tag.clear();
        }
        return false;
    }
    cursor.Skip();
    while (!cursor.AtLineEnd() && cursor.Peek() != ' ') {
        char c = cursor.Peek();
        if (!IsCommandNameChar(c)) {
            error = "Invalid command name";
            return false;
        }
        out.name += vx::Ascii::ToUpper(c);
        cursor.Skip();
    }
    if (out.name.empty()) {
        error = "Missing command";
        return false;
    }
    if (!cursor.AtLineEnd()) {
        cursor.Skip();
        if (cursor.AtLineEnd()) {
            error = "Extra space";
            return false;
        }
    }
    Parser parser(cursor);
    if (!parser.ParseList(out.args, 0)) {
        error = parser.Error();
        return false;
    }
    return true;
}

bool ParseArguments(std::string_view text, std::vector<ImapArg>& out, vx::Str& error) {
    ImapCommandText command;
    command.lines.emplace_back(text);
    Cursor cursor(command);
    Parser parser(cursor);
    out.clear();
    if (!parser.ParseList(out, 0)) {
        error = parser.Error();
        return false;
    }
    return true;
}

}  // namespace ImapParser

bool ImapArg::Is(std::string_view atom) const {
    return kind == Kind::Atom && vx::Ascii::EqualNoCase(text, atom);
}
