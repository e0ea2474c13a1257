#include "tools/httpmail/submission_parser.h"

#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
// The address of "<address>" (the outer brackets go, anything inside stays;
// parameters after the closing bracket are left out), or the bare text.
std::string Address(std::string_view value) {
    value = Trim(value);
    const size_t close = value.rfind('>');
    if (!value.empty() && value[0] == '<' && close != std::string_view::npos)
        return std::string(value.substr(1, close - 1));
    return std::string(value);
}

// The next line without its line end; false at the end of the body.
bool NextLine(const std::string& body, size_t& pos, std::string_view& line) {
    if (pos >= body.size()) return false;
    const size_t lf = body.find('\n', pos);
    const size_t end = lf == std::string::npos ? body.size() : lf;
    line = std::string_view(body).substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = lf == std::string::npos ? body.size() : lf + 1;
    return lf != std::string::npos;
}
}  // namespace

bool ParseSubmission(const std::string& body, Submission& out, std::string& error) {
    out = Submission{};
    size_t pos = 0;
    std::string_view line;
    if (!NextLine(body, pos, line) || !IStartsWith(line, "MAIL FROM:")) {
        error = "the body does not begin with a MAIL FROM line";
        return false;
    }
    out.from = Address(line.substr(10));
    while (NextLine(body, pos, line) && !line.empty()) {
        if (!IStartsWith(line, "RCPT TO:")) {
            error = "a line that is not RCPT TO stands before the empty line";
            return false;
        }
        out.recipients.push_back(Address(line.substr(8)));
    }
    if (!line.empty()) {
        error = "no empty line ends the envelope";
        return false;
    }
    if (out.recipients.empty()) {
        error = "no recipient";
        return false;
    }
    out.text = body.substr(pos);
    return true;
}

}  // namespace httpmail
