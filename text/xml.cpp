#include "text/xml.h"

#include "core/exception.h"
#include "text/ascii.h"
#include "text/str_util.h"
#include "text/xml_parser.h"

namespace vx {
namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";

}  // namespace

Xml::Xml(std::shared_ptr<const Str> document)
    : text(std::move(document)), characters(text->data()) {}

std::shared_ptr<const Str> Xml::InUtf8(std::shared_ptr<const Str> document) {
    if (document->compare(0, 5, "<?xml") == 0) {
        Str encoding = XmlParser(document).ParseDeclaration().GetAttribute("encoding");
        if (!encoding.empty() && !Ascii::IsUtf8Name(encoding))
            return std::make_shared<const Str>(StrUtil::ConvertToUtf8(encoding, *document));
    }
    return document;
}

Xml::Xml(Str document) : Xml(InUtf8(std::make_shared<const Str>(std::move(document)))) {
    *this = XmlParser(text).ParseDocument();
}

void Xml::Scan(const Str& document, XmlVisitor& visitor) {
    // Borrowed, not copied: nothing made here outlives the call.
    std::shared_ptr<const Str> text(std::shared_ptr<const Str>(), &document);
    XmlParser(InUtf8(std::move(text))).Scan(visitor);
}

bool Xml::HasName(std::string_view name) const {
    return std::string_view(characters + nameStart, static_cast<size_t>(nameLength)) == name;
}

Str Xml::GetName() const {
    return Str(characters + nameStart, static_cast<size_t>(nameLength));
}

bool Xml::FindFirstInto(std::string_view name, Xml& found) const {
    if (!lists) return false;
    for (const Xml& child : lists->children) {
        if (child.HasName(name)) {
            found = child;
            return true;
        }
        if (child.FindFirstInto(name, found)) return true;
    }
    return false;
}

Xml Xml::FindFirst(std::string_view name) const {
    Xml found(text);
    FindFirstInto(name, found);
    return found;
}

void Xml::AppendAll(std::string_view name, std::vector<Xml>& out) const {
    if (!lists) return;
    for (const Xml& child : lists->children) {
        if (child.HasName(name)) out.push_back(child);
        child.AppendAll(name, out);
    }
}

void Xml::FindAll(std::string_view name, std::vector<Xml>& out) const {
    out.clear();
    AppendAll(name, out);
}

Str Xml::GetValue() const {
    // Only the node's own range is read: an empty element must not show a
    // CDATA section that follows it, nor an attribute the text after its quote.
    return Decode(std::string_view(characters + valueStart, static_cast<size_t>(valueLength)));
}

Str Xml::Decode(std::string_view value) {
    const size_t start = value.find_first_not_of(" \t\r\n");
    if (start != std::string_view::npos &&
        value.compare(start, kCdataOpen.size(), kCdataOpen) == 0) {
        const size_t open = start + kCdataOpen.size();
        const size_t close = value.find("]]>", open);
        if (close == std::string_view::npos)
            throw Exception("vx::Xml::GetValue - Unterminated CDATA section detected");
        return Str(value.substr(open, close - open));
    }
    return StrUtil::XmlToText(value);
}

Str Xml::GetAttribute(std::string_view name) const {
    if (!lists) return Str();
    for (const Xml& attribute : lists->attributes)
        if (attribute.HasName(name)) return attribute.GetValue();
    return Str();
}

}  // namespace vx
