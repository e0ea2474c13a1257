#include "mime/mime_scanner.h"

bool MimeScanner::Take(char c) {
    if (Peek() != c || AtEnd()) return false;
    ++at;
    return true;
}

void MimeScanner::SkipSpace(vx::Str* firstComment) {
    while (!AtEnd()) {
        char c = text[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
        } else if (c == '(') {
            vx::Str comment = Comment();
            if (firstComment && firstComment->empty()) *firstComment = comment;
        } else {
            return;
        }
    }
}

std::string_view MimeScanner::Run(std::string_view stops) {
    size_t start = at;
    while (!AtEnd()) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c <= ' ' || c == 0x7f || stops.find(static_cast<char>(c)) != std::string_view::npos)
            break;
        ++at;
    }
    return text.substr(start, at - start);
}

vx::Str MimeScanner::QuotedString() {
    vx::Str out;
    ++at;  // the opening quote
    while (!AtEnd()) {
        char c = text[at++];
        if (c == '"') break;
        if (c == '\\' && !AtEnd()) c = text[at++];
        if (c != '\r' && c != '\n') out += c;
    }
    return out;
}

vx::Str MimeScanner::Comment() {
    vx::Str out;
    int depth = 0;
    while (!AtEnd()) {
        char c = text[at++];
        if (c == '\\' && !AtEnd()) {
            out += text[at++];
            continue;
        }
        if (c == '(' && depth++ == 0) continue;
        if (c == ')' && --depth == 0) break;
        if (c != '\r' && c != '\n') out += c;
    }
    return out;
}

void MimeScanner::SkipTo(char c) {
    while (!AtEnd() && text[at] != c) {
        if (text[at] == '"')
            QuotedString();
        else
            ++at;
    }
}
