#pragma once
// The value of a header field of a message source: the first field of that
// name in the header section, its line breaks removed.
#include <optional>
#include <string>
#include <string_view>

namespace httpmail {

std::optional<std::string> HeaderField(std::string_view source, std::string_view name);

}  // namespace httpmail
