#include "text/xml.h"

#include <cstring>

#include "core/exception.h"
#include "text/ascii.h"
#include "text/str_util.h"
#include "text/xml_parser.h"

namespace vx {
namespace {

constexpr char kCdataOpen[] = "<![CDATA[";
constexpr size_t kCdataOpenLength = sizeof kCdataOpen - 1;

}  // namespace

Xml::Xml(std::shared_ptr<const Str> document) : text(std::move(document)), characters(text->data()) {}

Xml::Xml(Str document) : Xml(std::make_shared<const Str>(std::move(document))) {
    if (text->compare(0, 5, "<?xml") == 0) {
        Str encoding = XmlParser(text).ParseDeclaration().GetAttribute("encoding");
        if (!encoding.empty() && !Ascii::IsUtf8Name(encoding))
            text = std::make_shared<const Str>(StrUtil::ConvertToUtf8(encoding, *text));
    }
    *this = XmlParser(text).ParseDocument();
}

bool Xml::HasName(std::string_view name) const {
    return static_cast<size_t>(nameLength) == name.size() &&
           std::memcmp(characters + nameStart, name.data(), name.size()) == 0;
}

Str Xml::GetName() const { return Str(characters + nameStart, static_cast<size_t>(nameLength)); }

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
    // Only the node's own range is looked at: an empty element must not show
    // a CDATA section that follows it.
    const char* at = characters + valueStart;
    const char* end = at + valueLength;
    while (at < end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n')) ++at;
    if (static_cast<size_t>(end - at) >= kCdataOpenLength && std::memcmp(at, kCdataOpen, kCdataOpenLength) == 0) {
        size_t open = static_cast<size_t>(at - characters) + kCdataOpenLength;
        size_t close = text->find("]]>", open);
        if (close == Str::npos) throw Exception("vx::Xml::GetValue - Unterminated CDATA section detected");
        return text->substr(open, close - open);
    }
    return StrUtil::XmlToText(std::string_view(characters + valueStart, static_cast<size_t>(valueLength)));
}

Str Xml::GetAttribute(std::string_view name) const {
    if (!lists) return Str();
    for (const Xml& attribute : lists->attributes)
        if (attribute.HasName(name)) return attribute.GetValue();
    return Str();
}

}  // namespace vx
