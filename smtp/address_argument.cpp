#include "smtp/address_argument.h"

#include <cstring>
#include <string_view>

#include "text/ascii.h"

namespace {

// An address of one character is refused along with the empty one ("<>").
constexpr size_t kShortestAddress = 2;

size_t FindNoCase(std::string_view text, std::string_view word) {
    for (size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (vx::Ascii::EqualNoCase(text.substr(at, word.size()), word)) return at;
    }
    return vx::Str::npos;
}

}  // namespace

const AddressMarkers kSenderMarkers = {"from:<", "from: <"};
const AddressMarkers kRecipientMarkers = {"to:<", "to: <"};

AddressArgument ParseAddressArgument(const vx::Str& argument, const AddressMarkers& markers,
                                     vx::Str& address) {
    const char* marker = markers.plain;
    size_t at = FindNoCase(argument, marker);
    if (at == vx::Str::npos) {
        marker = markers.spaced;
        at = FindNoCase(argument, marker);
    }
    if (at == vx::Str::npos) return AddressArgument::NotFound;
    size_t start = at + std::strlen(marker);
    size_t close = argument.find('>', start);
    if (close == vx::Str::npos || close - start < kShortestAddress) {
        return AddressArgument::Incomplete;
    }
    address = argument.substr(start, close - start);
    return AddressArgument::Found;
}

uint64_t DeclaredSize(const vx::Str& argument) {
    size_t close = argument.find('>');
    if (close == vx::Str::npos) return 0;
    std::string_view rest = std::string_view(argument).substr(close + 1);
    const std::string_view name = "SIZE=";
    // The parameters are words separated by blanks.
    while (!rest.empty()) {
        size_t blank = rest.find(' ');
        std::string_view word = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        if (word.size() <= name.size() || !vx::Ascii::EqualNoCase(word.substr(0, 5), name)) {
            continue;
        }
        uint64_t size = 0;
        for (char c : word.substr(name.size())) {
            if (c < '0' || c > '9') break;
            size = size > (UINT64_MAX - 9) / 10 ? UINT64_MAX : size * 10 + uint64_t(c - '0');
        }
        return size;
    }
    return 0;
}
