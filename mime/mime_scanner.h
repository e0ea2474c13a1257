#pragma once
// The lexical pieces shared by structured header fields (RFC 5322 3.2, RFC
// 2045 5.1): blanks and line breaks, comments in nested parentheses, quoted
// strings with backslash escapes. Lenient: an unclosed comment or quoted
// string runs to the end of the value.
#include <string_view>

#include "core/str.h"

class MimeScanner {
public:
    explicit MimeScanner(std::string_view text) : text(text) {}

    bool AtEnd() const { return at >= text.size(); }
    char Peek() const { return AtEnd() ? '\0' : text[at]; }
    size_t Position() const { return at; }
    // Takes c when it is next.
    bool Take(char c);

    // Skips blanks, line breaks and comments; the text of the first comment
    // skipped goes to firstComment when one is asked for and still empty.
    void SkipSpace(vx::Str* firstComment = nullptr);
    // A run of bytes that are neither blank, control nor one of stops.
    std::string_view Run(std::string_view stops);
    // At a '"': its content without the quotes, escapes resolved.
    vx::Str QuotedString();
    // At a '(': its content without the outer parentheses (inner ones kept).
    vx::Str Comment();
    // The text from position from up to the current one.
    std::string_view Since(size_t from) const { return text.substr(from, at - from); }
    // Skips to just before the next unquoted c (or to the end).
    void SkipTo(char c);

private:
    std::string_view text;
    size_t at = 0;
};
