#include "http/response_buffer.h"

#include <cstring>
#include <string_view>

#include "net/socket.h"

namespace vxw {

size_t ResponseBuffer::Find(const char* pattern, size_t from) const {
    size_t found = std::string_view(Data(), Size()).find(pattern, from);
    return found == std::string_view::npos ? npos : found;
}

void ResponseBuffer::Consume(size_t count) {
    begin += count < Size() ? count : Size();
    if (begin == end) Clear();
}

void ResponseBuffer::ReleaseIfEmpty() {
    if (!Empty()) return;
    storage.reset();
    room = 0;
    Clear();
}

size_t ResponseBuffer::ReceiveFrom(Socket& socket, size_t max) {
    if (room - end < max) {
        // Move the unconsumed bytes to the front before growing.
        if (begin > 0 && Size() > 0) std::memmove(storage.get(), Data(), Size());
        end -= begin, begin = 0;
        if (room - end < max) {
            std::unique_ptr<char[]> larger(new char[end + max]);
            if (end > 0) std::memcpy(larger.get(), storage.get(), end);
            storage = std::move(larger);
            room = end + max;
        }
    }
    size_t got = socket.Receive(storage.get() + end, max);
    end += got;
    return got;
}

}  // namespace vxw
