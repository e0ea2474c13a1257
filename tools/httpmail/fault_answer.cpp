#include "tools/httpmail/fault_answer.h"

namespace httpmail {

namespace {
// Quotes would end the attribute or header value the URL is written into.
std::string QuoteSafe(const std::string& url) {
    std::string out;
    for (char c : url) out += c == '"' ? "%22" : c == '\'' ? "%27" : std::string(1, c);
    return out;
}

// The refresh target stands in double quotes after URL=, inside a content
// attribute in single quotes: the form clients of this service look for.
HttpResponse RefreshPage(const std::string& url) {
    HttpResponse response(200);
    response.SetBody("<html><head><meta HTTP-EQUIV=\"REFRESH\" content='0; URL=\"" +
                         QuoteSafe(url) +
                         "\"'><title>Please wait</title></head>"
                         "<body>Please wait while your request is handled.</body></html>\r\n",
                     "text/html; charset=utf-8");
    return response;
}
}  // namespace

HttpResponse FaultAnswer(const AppliedFaults& faults, const std::string& url) {
    switch (faults.replacement) {
        case FaultKind::Refresh:
            return RefreshPage(url);
        case FaultKind::Redirect: {
            HttpResponse response = HttpResponse::Page(int(faults.replacementArg));
            response.AddHeader("Location", QuoteSafe(url));
            return response;
        }
        case FaultKind::Drop: {
            HttpResponse response(0);  // the connection closes instead
            response.close = true;
            return response;
        }
        default: {
            HttpResponse response = HttpResponse::Page(int(faults.replacementArg));
            if (faults.replacementArg == 503) response.AddHeader("Retry-After", "4");
            return response;
        }
    }
}

}  // namespace httpmail
