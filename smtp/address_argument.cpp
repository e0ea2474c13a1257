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
