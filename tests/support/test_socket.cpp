#include "tests/support/test_socket.h"

namespace testing_support {

bool SendAll(RawSocket socket, const char* data, size_t length) {
    for (size_t at = 0; at < length;) {
        long sent = SendSome(socket, data + at, length - at);
        if (sent <= 0) return false;
        at += static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace testing_support
