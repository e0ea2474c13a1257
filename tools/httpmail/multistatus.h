#pragma once
// A WebDAV 207 Multi-Status body (RFC 4918) with the prefixes HTTPMail clients
// look for: "D:" for DAV: and "hm:" for urn:schemas:httpmail:. Clients find
// elements by their literal names, so the prefixes are fixed, and values carry
// no white space around them.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httpmail {

using Properties = std::vector<std::pair<std::string, std::string>>;  // name, value

class Multistatus {
public:
    // One D:response with its D:href and one D:propstat holding the properties.
    void Add(const std::string& href, const Properties& properties);
    std::string Text() const;

private:
    std::string responses;
};

// Escapes markup characters; keeps CR and LF as character references and drops
// other control characters, which XML cannot carry.
std::string EscapeXml(std::string_view text);

}  // namespace httpmail
