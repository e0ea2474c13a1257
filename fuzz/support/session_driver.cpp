#include "fuzz/support/session_driver.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "core/exception.h"
#include "fuzz/support/socket_pair.h"
#include "text/ascii.h"

namespace fuzz_support {

vx::Str DriveSession(const vx::Str& clientBytes,
                     const std::function<void(vxw::SocketHandle)>& session) {
    SocketPair pair;
    vx::Str replies;
    std::thread client([&] {
        pair.WriteAndClose(clientBytes.data(), clientBytes.size());
        replies = pair.Drain(4 << 20);
    });
    try {
        session(pair.TakeInner());
    } catch (const vx::Exception&) {
        // The session ended early, as it may.
    } catch (...) {
        client.join();
        throw;
    }
    client.join();
    return replies;
}

bool HoldsWord(const vx::Str& text, const char* word) {
    const size_t length = std::strlen(word);
    auto found = std::search(text.begin(), text.end(), word, word + length, [](char a, char b) {
        return vx::Ascii::ToLower(a) == vx::Ascii::ToLower(b);
    });
    return found != text.end();
}

}  // namespace fuzz_support
