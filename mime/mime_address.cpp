#include "mime/mime_address.h"

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
    vx::Str comment;  // the first comment of the current item
};

void AddressReader::Advance() {
    size_t before = scanner.Position();
    scanner.SkipSpace(&comment);
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
