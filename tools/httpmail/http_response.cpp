#include "tools/httpmail/http_response.h"

#include <algorithm>
#include <iterator>

namespace httpmail {

namespace {
struct Reason {
    int status;
    const char* phrase;
};
const Reason kReasons[] = {
    {100, "Continue"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {204, "No Content"},
    {207, "Multi-Status"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Content Too Large"},
    {415, "Unsupported Media Type"},
    {417, "Expectation Failed"},
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
};

std::string EscapeHtml(const std::string& s) {
    std::string out;
    for (char c : s) {
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
            default:
                out += c;
        }
    }
    return out;
}
}  // namespace

const char* ReasonPhrase(int status) {
    const auto it = std::find_if(std::begin(kReasons), std::end(kReasons),
                                 [status](const Reason& r) { return r.status == status; });
    return it == std::end(kReasons) ? "Unknown" : it->phrase;
}

bool StatusHasNoBody(int status) {
    return status < 200 || status == 204 || status == 304;
}

void HttpResponse::AddHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
}

void HttpResponse::SetBody(std::string text, std::string contentType) {
    body = std::make_shared<const std::string>(std::move(text));
    AddHeader("Content-Type", std::move(contentType));
}

const std::string& HttpResponse::Body() const {
    static const std::string empty;
    return body ? *body : empty;
}

HttpResponse HttpResponse::Page(int status, const std::string& detail) {
    HttpResponse response(status);
    if (StatusHasNoBody(status)) return response;
    const std::string title = std::to_string(status) + " " + ReasonPhrase(status);
    std::string page =
        "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>";
    if (!detail.empty()) page += "<p>" + EscapeHtml(detail) + "</p>";
    response.SetBody(page + "</body></html>\r\n", "text/html; charset=utf-8");
    return response;
}

}  // namespace httpmail
