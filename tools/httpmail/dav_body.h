#pragma once
// What the XML body of a PROPFIND or PROPPATCH asks for. Only the few
// properties the service knows are looked for; the namespace prefixes are the
// client's own (xmlns:PREFIX="..."), as WebDAV allows.
#include <string>
#include <vector>

namespace httpmail {

extern const char kMailHeaderNamespace[];  // urn:schemas:mailheader:
extern const char kHttpMailNamespace[];    // urn:schemas:httpmail:

// True when a PROPFIND body asks for every property: no body, or D:allprop.
bool AsksForAllProperties(const std::string& body);

// The local names of the properties in namespace uri that the body names,
// e.g. {"subject", "date"}.
std::vector<std::string> NamedProperties(const std::string& body, const std::string& uri);

// The hm:read value a PROPPATCH sets ("1"/"0" in D:set) or removes (D:remove
// means unread); false when the body does not touch hm:read.
bool ReadUpdate(const std::string& body, bool& read);

}  // namespace httpmail
