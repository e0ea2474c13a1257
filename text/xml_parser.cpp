#include "text/xml_parser.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "core/exception.h"

namespace vx {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

constexpr std::array<bool, 256> MakeNameEnds() {
    std::array<bool, 256> ends{};
    for (unsigned char c : "\t\n\r \"'/<=>?") ends[c] = true;  // the terminator brings NUL
    return ends;
}
constexpr std::array<bool, 256> kNameEnds = MakeNameEnds();

// Stretches that lie between elements, from the most specific opening on.
struct Skipped {
    const char* open;
    const char* close;
    const char* error;
};
const Skipped kSkipped[] = {
    {"<!--", "-->", "Unterminated comment detected - "},
    {"<?", "?>", "Unterminated processing instruction detected - "},
    {"<![CDATA[", "]]>", "Unterminated CDATA section detected - "},
    {"<!", ">", "Unterminated Document Type Declaration detected - "},
};

Str Position(size_t position) {
    return std::to_string(position);
}

}  // namespace

XmlParser::XmlParser(std::shared_ptr<const Str> document)
    : text(std::move(document)), characters(text->data()), size(text->size()) {
    if (size > static_cast<size_t>(INT32_MAX))
        throw Exception("vx::Xml::Parse - Document too large - " + Position(size) + " bytes");
}

size_t XmlParser::SkipSpace(size_t position) const {
    while (position < size && IsSpace(characters[position])) ++position;
    return position;
}

size_t XmlParser::ReadName(size_t position) const {
    while (position < size && !kNameEnds[static_cast<unsigned char>(characters[position])])
        ++position;
    return position;
}

size_t XmlParser::FindNextNode(size_t position) const {
    for (;;) {
        const void* found =
            position < size ? std::memchr(characters + position, '<', size - position) : nullptr;
        if (found == nullptr)
            throw Exception("vx::Xml::FindNextNode - Error finding node - " + *text);
        const size_t open = static_cast<size_t>(static_cast<const char*>(found) - characters);
        if (At(open + 1) != '!' && At(open + 1) != '?') return open;
        for (const Skipped& skipped : kSkipped) {
            const size_t openLength = std::strlen(skipped.open);
            if (text->compare(open, openLength, skipped.open) != 0) continue;
            const size_t close = text->find(skipped.close, open + openLength);
            if (close == Str::npos)
                throw Exception(Str("vx::Xml::FindNextNode - ") + skipped.error + *text);
            position = close + std::strlen(skipped.close);
            break;
        }
    }
}

XmlParser::Tag XmlParser::ParseTag(size_t position) {
    Tag tag;
    size_t at = SkipSpace(position + 1);
    if (At(at) == '?') ++at;
    if (At(at) == '/') {
        tag.closing = true;
        at = SkipSpace(at + 1);
    }
    const size_t nameEnd = ReadName(at);
    if (nameEnd == at)
        throw Exception("vx::Xml::ParseTag - Unnamed tag found before position - " + Position(at));
    tag.nameStart = at;
    tag.nameLength = nameEnd - at;
    attributes.clear();
    for (at = SkipSpace(nameEnd);;) {
        const char c = At(at);
        if ((c == '?' || c == '/') && At(at + 1) == '>') {
            tag.selfClosing = c == '/';
            at += 2;
            break;
        }
        if (c == '>') {
            ++at;
            break;
        }
        at = ParseAttribute(at);
    }
    tag.end = at;
    return tag;
}

size_t XmlParser::ParseAttribute(size_t position) {
    const size_t nameEnd = ReadName(position);
    size_t at = SkipSpace(nameEnd);
    if (At(at) != '=')
        throw Exception(
            "vx::Xml::ParseTag - Found attribute with no value seperator at position - " +
            Position(at));
    at = SkipSpace(at + 1);
    const char quote = At(at);
    if (quote != '"' && quote != '\'')
        throw Exception("vx::Xml::ParseTag - Found attribute with no value at position - " +
                        Position(at));
    const size_t close = text->find(quote, at + 1);
    if (close == Str::npos) {
        throw Exception(
            "vx::Xml::ParseTag - Found attribute value with no closing quote at position - " +
            Position(at + 1));
    }
    Xml attribute(text);
    attribute.nameStart = static_cast<int32_t>(position);
    attribute.nameLength = static_cast<int32_t>(nameEnd - position);
    attribute.valueStart = static_cast<int32_t>(at + 1);
    attribute.valueLength = static_cast<int32_t>(close - at - 1);
    attributes.push_back(std::move(attribute));
    return SkipSpace(close + 1);
}

XmlParser::Open XmlParser::OpenElement(const Tag& tag) {
    Open open{Xml(text), nullptr, children.size()};
    open.node.nameStart = static_cast<int32_t>(tag.nameStart);
    open.node.nameLength = static_cast<int32_t>(tag.nameLength);
    open.node.valueStart = static_cast<int32_t>(tag.end);
    if (!attributes.empty()) {
        open.lists = std::make_shared<Xml::Lists>();
        open.lists->attributes.assign(std::make_move_iterator(attributes.begin()),
                                      std::make_move_iterator(attributes.end()));
        attributes.clear();
    }
    return open;
}

Xml XmlParser::CloseElement(Open& open, size_t endTag) {
    open.node.valueLength =
        static_cast<int32_t>(endTag - static_cast<size_t>(open.node.valueStart));
    const auto first = children.begin() + static_cast<std::ptrdiff_t>(open.firstChild);
    if (first != children.end()) {
        if (!open.lists) open.lists = std::make_shared<Xml::Lists>();
        open.lists->children.assign(std::make_move_iterator(first),
                                    std::make_move_iterator(children.end()));
        children.erase(first, children.end());
    }
    open.node.lists = std::move(open.lists);
    return std::move(open.node);
}

Xml XmlParser::ParseDeclaration() {
    Tag tag = ParseTag(0);
    Open open = OpenElement(tag);
    return CloseElement(open, tag.end);
}

template <class OnOpen, class OnClose>
void XmlParser::Walk(OnOpen onOpen, OnClose onClose) {
    Tag tag = ParseTag(FindNextNode(0));
    onOpen(tag);
    if (tag.selfClosing) return onClose(tag, tag.end);
    std::vector<Tag> open{tag};
    for (size_t position = tag.end;;) {
        size_t start;
        try {
            start = FindNextNode(position);
        } catch (const Exception& e) {
            throw Exception("Xml::ParseSelf - Error finding closing tag for '" +
                            NameOf(open.back()) + "' - " + e.Message());
        }
        tag = ParseTag(start);
        position = tag.end;
        if (tag.closing) {
            if (NameView(open.back()) != NameView(tag))
                throw Exception("Xml::ParseSelf - Found closing tag for unexpected node - " +
                                NameOf(tag));
            onClose(open.back(), start);
            open.pop_back();
            if (open.empty()) return;
            continue;
        }
        if (open.size() >= kMaxDepth) {
            throw Exception("vx::Xml::ParseSelf - Elements nested deeper than " +
                            Position(kMaxDepth) + " levels at position - " + Position(start));
        }
        onOpen(tag);
        if (tag.selfClosing)
            onClose(tag, tag.end);
        else
            open.push_back(tag);
    }
}

Xml XmlParser::ParseDocument() {
    std::vector<Open> open;
    Xml root(text);
    Walk([&](const Tag& tag) { open.push_back(OpenElement(tag)); },
         [&](const Tag&, size_t contentEnd) {
             Xml done = CloseElement(open.back(), contentEnd);
             open.pop_back();
             if (open.empty())
                 root = std::move(done);
             else
                 children.push_back(std::move(done));
         });
    return root;
}

void XmlParser::Scan(XmlVisitor& visitor) {
    size_t depth = 0;
    Walk([&](const Tag& tag) { visitor.Open(NameView(tag), ++depth); },
         [&](const Tag& tag, size_t contentEnd) {
             visitor.Close(depth--,
                           std::string_view(characters + tag.end, contentEnd - tag.end));
         });
}

}  // namespace vx
