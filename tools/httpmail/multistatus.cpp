#include "tools/httpmail/multistatus.h"

#include "tools/httpmail/text_util.h"

namespace httpmail {

std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : ValidUtf8(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
        }
    }
    return out;
}

void Multistatus::Add(const std::string& href, const Properties& properties) {
    responses += "<D:response><D:href>" + EscapeXml(href) + "</D:href><D:propstat><D:prop>";
    for (const auto& [name, value] : properties)
        responses += value.empty() ? "<" + name + "/>"
                                   : "<" + name + ">" + EscapeXml(value) + "</" + name + ">";
    responses += "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>\r\n";
}

std::string Multistatus::Text() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<D:multistatus xmlns:D=\"DAV:\" xmlns:hm=\"urn:schemas:httpmail:\" "
           "xmlns:m=\"urn:schemas:mailheader:\">\r\n" +
           responses + "</D:multistatus>\r\n";
}

}  // namespace httpmail
