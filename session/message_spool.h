#pragma once
// Message data a session receives before it passes it on (an SMTP message
// text, an IMAP literal): up to a threshold in memory, beyond it in a spool
// file, so that a message of any size costs the session about the threshold.
// Read back as the body of a request, with its size for the Content-Length.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/body_stream.h"
#include "core/str.h"
#include "session/spool_file.h"

namespace vxw {

// The largest message a mail client may hand the gateway (an SMTP
// submission, an IMAP APPEND).
constexpr uint64_t kMaxMessageSize = 50000000;

class MessageSpool : public BodySource {
public:
    static constexpr size_t kDefaultMemoryLimit = 1 << 20;

    // Files go to folder (default: SpoolFolder(), made on first need).
    explicit MessageSpool(size_t memoryLimit = kDefaultMemoryLimit, vx::Str folder = vx::Str());

    // Throws what the spool file throws (a full disk).
    void Append(const char* data, size_t size);
    // Empties the spool for the next message; its file goes.
    void Clear();
    // Bytes held in memory now: the threshold at most, and the write buffer.
    size_t HeldInMemory() const { return memory.capacity(); }

    uint64_t Size() const override { return size; }
    void Rewind() override { readOffset = 0; }
    size_t Read(char* buffer, size_t count) override;

private:
    void MoveToFile();
    void FlushToFile();

    const size_t memoryLimit;
    const vx::Str folder;
    // The text while it fits, then the bytes not yet written to the file.
    vx::Str memory;
    std::unique_ptr<SpoolFile> file;
    uint64_t size = 0;
    uint64_t written = 0;  // bytes in the file
    uint64_t readOffset = 0;
};

// Empties a spool when it goes out of scope: the message leaves with the
// command that brought it, whatever becomes of the command.
class SpoolEmptier {
public:
    explicit SpoolEmptier(MessageSpool& spool) : spool(spool) {}
    SpoolEmptier(const SpoolEmptier&) = delete;
    SpoolEmptier& operator=(const SpoolEmptier&) = delete;
    ~SpoolEmptier() { spool.Clear(); }

private:
    MessageSpool& spool;
};

}  // namespace vxw
