#include "tools/httpmail/header_fields.h"

#include "tools/httpmail/text_util.h"

namespace httpmail {

std::optional<std::string> HeaderField(std::string_view source, std::string_view name) {
    size_t at = 0;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        if (end == std::string_view::npos) end = source.size();
        std::string_view line = source.substr(at, end - at);
        if (Trim(line).empty()) break;  // the empty line after the header
        size_t colon = line.find(':');
        bool match = colon != std::string_view::npos &&
                     IEquals(Trim(line.substr(0, colon)), name) && line[0] != ' ' &&
                     line[0] != '\t';
        at = end + 1;
        if (!match) continue;
        std::string value(line.substr(colon + 1));
        // Continuation lines start with a blank.
        while (at < source.size() && (source[at] == ' ' || source[at] == '\t')) {
            end = source.find('\n', at);
            if (end == std::string_view::npos) end = source.size();
            value += source.substr(at, end - at);
            at = end + 1;
        }
        std::string unfolded;
        for (char c : value)
            if (c != '\r' && c != '\n') unfolded += c;
        return std::string(Trim(unfolded));
    }
    return std::nullopt;
}

}  // namespace httpmail
