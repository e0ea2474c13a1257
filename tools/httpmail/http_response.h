#pragma once
// One answer of the service, before the connection writes it.
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace httpmail {

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // besides the framing headers
    std::shared_ptr<const std::string> body;  // shared: a message is not copied per GET
    bool close = false;                       // close the connection after this answer

    HttpResponse() = default;
    explicit HttpResponse(int code) : status(code) {}
    void AddHeader(std::string name, std::string value);
    void SetBody(std::string text, std::string contentType);
    const std::string& Body() const;

    // A small HTML page naming the status, with an optional detail line.
    static HttpResponse Page(int status, const std::string& detail = {});
};

// The reason phrase of a status code ("Unknown" for codes it does not know).
const char* ReasonPhrase(int status);
// Statuses whose answers never carry a body.
bool StatusHasNoBody(int status);

}  // namespace httpmail
