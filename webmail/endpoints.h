#pragma once
// Where the web mail service lives. These are constants of the program: tests
// and demos reach the service through the proxy settings, never by changing them.

namespace webmail_endpoints {

// The HTTPMail gateway, for every account whose name does not contain "@msn".
inline constexpr char kGatewayHost[] = "services.msn.com";
inline constexpr char kGatewayPath[] = "/svcs/hotmail/httpmail.asp";

// The HTTPMail data endpoint for MSN accounts (names containing "@msn").
inline constexpr char kMsnDataHost[] = "oe.msn.msnmail.hotmail.com";
inline constexpr char kMsnDataPath[] = "/cgi-bin/hmdata";

// Bound to the prefix "h" in the login request.
inline constexpr char kHotmailSchemaUri[] = "http://schemas.microsoft.com/hotmail/";

}  // namespace webmail_endpoints
