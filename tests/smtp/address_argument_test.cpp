#include "smtp/address_argument.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AddressArgumentTest, MarkersBracketsAndParameters) {
    struct Case {
        std::string argument;
        const AddressMarkers& markers;
        AddressArgument result;
        std::string address;
    } cases[] = {
        {"FROM:<a@b.example>", kSenderMarkers, AddressArgument::Found, "a@b.example"},
        {"from: <A@B.example> SIZE=10 BODY=8BITMIME", kSenderMarkers, AddressArgument::Found,
         "A@B.example"},
        {"To:<c@d.example> NOTIFY=NEVER", kRecipientMarkers, AddressArgument::Found, "c@d.example"},
        // The marker may stand anywhere; the first spelling wins over the second.
        {"x TO: <one@x> TO:<two@x>", kRecipientMarkers, AddressArgument::Found, "two@x"},
        {"FROM:<ab>", kSenderMarkers, AddressArgument::Found, "ab"},
        {"FROM:<Name <n@x>>", kSenderMarkers, AddressArgument::Found, "Name <n@x"},
        {"FROM:<>", kSenderMarkers, AddressArgument::Incomplete, ""},
        {"FROM:<a>", kSenderMarkers, AddressArgument::Incomplete, ""},
        {"FROM:<a@b.example", kSenderMarkers, AddressArgument::Incomplete, ""},
        {"FROM:a@b.example", kSenderMarkers, AddressArgument::NotFound, ""},
        {"FROM:  <a@b.example>", kSenderMarkers, AddressArgument::NotFound, ""},
        {"TO:<a@b.example>", kSenderMarkers, AddressArgument::NotFound, ""},
        {"", kRecipientMarkers, AddressArgument::NotFound, ""},
    };
    for (const Case& c : cases) {
        std::string address;
        EXPECT_EQ(ParseAddressArgument(c.argument, c.markers, address), c.result) << c.argument;
        EXPECT_EQ(address, c.address) << c.argument;
    }
}

}  // namespace
