#include "session/message_spool.h"

#include <algorithm>
#include <cstring>

#include "core/exception.h"

namespace vxw {
namespace {

// Appends to a spool file are gathered into writes of this size.
constexpr size_t kWriteBuffer = 64 * 1024;

}  // namespace

MessageSpool::MessageSpool(size_t memoryLimit, vx::Str folder)
    : memoryLimit(memoryLimit), folder(std::move(folder)) {}

void MessageSpool::Append(const char* data, size_t count) {
    if (count == 0) return;
    size += count;
    if (!file && memory.size() + count > memoryLimit) MoveToFile();
    if (file && memory.size() + count > kWriteBuffer) {
        FlushToFile();
        if (count >= kWriteBuffer) {
            file->Write(data, count);
            written += count;
            return;
        }
    }
    // Room grows by doubling, but never past the threshold, which a text
    // that fits in memory may fill but not pass.
    if (memory.capacity() < memory.size() + count) {
        memory.reserve(std::min(std::max(2 * (memory.size() + count), kWriteBuffer),
                                file ? kWriteBuffer : memoryLimit));
    }
    memory.append(data, count);
}

// The memory the text took is given back: from here on only the write
// buffer is held.
void MessageSpool::MoveToFile() {
    file = std::make_unique<SpoolFile>(folder.empty() ? SpoolFolder() : folder);
    FlushToFile();
    vx::Str buffer;
    buffer.reserve(kWriteBuffer);
    memory.swap(buffer);
}

void MessageSpool::FlushToFile() {
    if (memory.empty()) return;
    file->Write(memory.data(), memory.size());
    written += memory.size();
    memory.clear();
}

void MessageSpool::Clear() {
    file.reset();
    vx::Str().swap(memory);
    size = written = readOffset = 0;
}

size_t MessageSpool::Read(char* buffer, size_t count) {
    if (readOffset >= size || count == 0) return 0;
    size_t got = 0;
    if (readOffset < written) {
        got = file->ReadAt(readOffset, buffer, static_cast<size_t>(std::min<uint64_t>(
                                                   count, written - readOffset)));
        if (got == 0) {
            throw vx::Exception("vxw::MessageSpool::Read - The spool file ended early", 0);
        }
    } else {
        size_t at = static_cast<size_t>(readOffset - written);
        got = std::min(count, memory.size() - at);
        std::memcpy(buffer, memory.data() + at, got);
    }
    readOffset += got;
    return got;
}

}  // namespace vxw
