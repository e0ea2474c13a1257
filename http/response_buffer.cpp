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

size_t ResponseBuffer::ReceiveFrom(Socket& socket, size_t max) {
    if (storage.size() - end < max) {
        // Move the unconsumed bytes to the front before growing.
        if (begin > 0 && Size() > 0) std::memmove(storage.data(), Data(), Size());
        end -= begin, begin = 0;
        if (storage.size() - end < max) storage.resize(end + max);
    }
    size_t got = socket.Receive(storage.data() + end, max);
    end += got;
    return got;
}

}  // namespace vxw
