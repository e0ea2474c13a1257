#include "mime/mime_address.h"

#include <cctype>

#include "mime/header_text.h"
#include "mime/mime_scanner.h"

namespace {

constexpr char kMissingMailbox[] = "MISSING_MAILBOX";
constexpr char kMissingDomain[] = "MISSING_DOMAIN";
// RFC 5322 specials; everything else that is no blank or control is atom text.
constexpr std::string_view kSpecials = "()<>[]:;@\\,.\"";

struct Token {
    enum class Type { Word, Special, End };
    Type type = Type::End;
    char special = 0;
    vx::Str text;  // a word, a quoted string's content, or a "[domain literal]"
    bool spaceBefore = false;
};

class AddressReader {
public:
    explicit AddressReader(std::string_view value) : scanner(value) { Advance(); }
    std::vector<MimeAddress> ReadList();

private:
    void Advance();
    bool AtSpecial(char c) const {
        return token.type == Token::Type::Special && token.special == c;
    }
    bool AtEnd() const { return token.type == Token::Type::End; }
    // Words and dots up to the next other special: with the blanks between
    // words (a display name) and without them (a local part or a domain).
    struct Phrase {
        vx::Str spaced;
        vx::Str joined;
    };
    Phrase ReadPhrase();
    void ReadItem(std::vector<MimeAddress>& list, bool inGroup);
    void ReadGroup(std::vector<MimeAddress>& list, const vx::Str& name);
    void ReadAngleAddress(MimeAddress& address);
    void ReadAddrSpecRest(MimeAddress& address);
    void Finish(MimeAddress& address);

    MimeScanner scanner;
    Token token;
    vx::Str comment;  // the last comment of the current item
};

void AddressReader::Advance() {
    size_t before = scanner.Position();
    // The last comment of an item names it when nothing else does, as in
    // Dovecot: "bob(x)@example(y).com" is y.
    vx::Str skipped;
    scanner.SkipSpace(&skipped);
    if (!skipped.empty()) comment = skipped;
    token = Token();
    token.spaceBefore = scanner.Position() != before;
    if (scanner.AtEnd()) return;
    char c = scanner.Peek();
    if (c == '"') {
        token.type = Token::Type::Word;
        token.text = scanner.QuotedString();
    } else if (c == '[') {
        // A domain literal is kept as written, brackets included.
        size_t start = scanner.Position();
        scanner.SkipTo(']');
        scanner.Take(']');
        token.type = Token::Type::Word;
        token.text = scanner.Since(start);
    } else if (kSpecials.find(c) != std::string_view::npos) {
        scanner.Take(c);
        token.type = Token::Type::Special;
        token.special = c;
    } else {
        token.type = Token::Type::Word;
        token.text = scanner.Run(kSpecials);
        if (token.text.empty()) {  // a control character: skip it
            scanner.Take(c);
            Advance();
        }
    }
}

AddressReader::Phrase AddressReader::ReadPhrase() {
    Phrase phrase;
    while (!AtEnd()) {
        if (token.type == Token::Type::Special) {
            if (token.special != '.') break;
            phrase.spaced += '.';
            phrase.joined += '.';
        } else {
            if (token.spaceBefore && !phrase.spaced.empty()) phrase.spaced += ' ';
            phrase.spaced += token.text;
            phrase.joined += token.text;
        }
        Advance();
    }
    return phrase;
}

std::vector<MimeAddress> AddressReader::ReadList() {
    std::vector<MimeAddress> list;
    while (!AtEnd()) {
        if (AtSpecial(',') || AtSpecial(';') || AtSpecial('>') || AtSpecial(')')) {
            Advance();
            continue;
        }
        ReadItem(list, false);
    }
    return list;
}

// One mailbox, or a whole group when the phrase ends in ":". An empty item
// (",," or a comment alone) names nobody and gives no address.
void AddressReader::ReadItem(std::vector<MimeAddress>& list, bool inGroup) {
    comment.clear();
    Phrase phrase = ReadPhrase();
    if (AtSpecial(':') && !inGroup) {
        Advance();
        ReadGroup(list, SimplifyBlanks(phrase.spaced));
        return;
    }
    MimeAddress address;
    bool any = !phrase.joined.empty() || AtSpecial('<') || AtSpecial('@');
    if (AtSpecial('<')) {
        address.name = SimplifyBlanks(phrase.spaced);
        Advance();
        ReadAngleAddress(address);
    } else {
        address.mailbox = phrase.joined;  // a bare addr-spec
        if (AtSpecial('@')) {
            Advance();
            ReadAddrSpecRest(address);
        }
    }
    // Whatever else the item holds up to the next comma is dropped.
    while (!AtEnd() && !AtSpecial(',') && !(inGroup && AtSpecial(';'))) Advance();
    if (address.name.empty()) address.name = SimplifyBlanks(comment);
    if (!any) return;
    Finish(address);
    list.push_back(address);
}

void AddressReader::ReadGroup(std::vector<MimeAddress>& list, const vx::Str& name) {
    MimeAddress start;
    start.kind = MimeAddress::Kind::GroupStart;
    start.name = name;
    list.push_back(start);
    while (!AtEnd() && !AtSpecial(';')) {
        if (AtSpecial(',') || AtSpecial(':') || AtSpecial('>'))
            Advance();
        else
            ReadItem(list, true);
    }
    if (AtSpecial(';')) Advance();
    MimeAddress end;
    end.kind = MimeAddress::Kind::GroupEnd;
    list.push_back(end);
}

void AddressReader::ReadAngleAddress(MimeAddress& address) {
    if (AtSpecial('@')) {  // an obsolete source route: "@a,@b:"
        vx::Str route;
        while (!AtEnd() && !AtSpecial(':') && !AtSpecial('>')) {
            route += token.type == Token::Type::Special ? vx::Str(1, token.special) : token.text;
            Advance();
        }
        if (AtSpecial(':')) {
            address.route = route;
            Advance();
        }
    }
    address.mailbox = ReadPhrase().joined;
    if (AtSpecial('@')) {
        Advance();
        ReadAddrSpecRest(address);
    }
    if (AtSpecial('>')) Advance();
}

void AddressReader::ReadAddrSpecRest(MimeAddress& address) {
    address.host = ReadPhrase().joined;
}

void AddressReader::Finish(MimeAddress& address) {
    if (address.mailbox.empty()) address.mailbox = kMissingMailbox;
    if (address.host.empty()) address.host = kMissingDomain;
}

}  // namespace

std::vector<MimeAddress> ParseMimeAddresses(std::string_view value) {
    return AddressReader(value).ReadList();
}

vx::Str SimplifyBlanks(std::string_view text) {
    vx::Str out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

namespace {

// RFC 5322 atom text, and every byte from 0x80 up (UTF-8 names).
bool IsAtomText(char c, bool dotToo) {
    static constexpr std::string_view kAtomSpecials = "!#$%&'*+-/=?^_`{|}~";
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) || kAtomSpecials.find(c) != std::string_view::npos ||
           (dotToo && c == '.');
}

// text as it is, or quoted where it holds more than atom text.
void AppendMaybeQuoted(vx::Str& out, const vx::Str& text, bool dotIsAtom) {
    bool plain = !text.empty();
    for (char c : text) plain = plain && IsAtomText(c, dotIsAtom);
    if (plain) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

// A name with encoded words is decoded and shown without quotes: an encoded
// word inside quotes would not be one.
void AppendName(vx::Str& out, const vx::Str& name) {
    if (name.find("=?") != vx::Str::npos)
        out += DecodeHeaderText(name);
    else
        AppendMaybeQuoted(out, name, false);
}

void AppendMailbox(vx::Str& out, const MimeAddress& address) {
    AppendMaybeQuoted(out, address.mailbox, true);
    out += '@';
    out += address.host;
}

}  // namespace

vx::Str MimeAddressText(std::string_view value) {
    vx::Str out;
    const char* separator = "";
    for (const MimeAddress& address : ParseMimeAddresses(value)) {
        if (address.kind == MimeAddress::Kind::GroupEnd) {
            out += ';';
            separator = ", ";
            continue;
        }
        out += separator;
        separator = ", ";
        if (address.kind == MimeAddress::Kind::GroupStart) {
            AppendName(out, address.name);
            out += ": ";
            separator = "";
        } else if (address.name.empty() && address.route.empty()) {
            AppendMailbox(out, address);
        } else {
            if (!address.name.empty()) {
                AppendName(out, address.name);
                out += ' ';
            }
            out += '<';
            if (!address.route.empty()) out += address.route + ":";
            AppendMailbox(out, address);
            out += '>';
        }
    }
    return out;
}
