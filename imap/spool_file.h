#pragma once
// A temporary file for one message's bytes while a session sends parts of
// it: private to the user, and gone when the object goes (or the process
// ends), so a message never stays on disk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

class ImapSpoolFile {
public:
    // Throws vx::Exception when no such file can be made.
    ImapSpoolFile();
    ~ImapSpoolFile();
    ImapSpoolFile(const ImapSpoolFile&) = delete;
    ImapSpoolFile& operator=(const ImapSpoolFile&) = delete;

    // Empties the file for the next message.
    void Clear();
    // Appends; throws vx::Exception when the disk takes no more.
    void Write(const char* data, size_t size);
    uint64_t Size() const { return size; }
    // Up to count bytes from offset; 0 at the end. Throws on a read error.
    size_t ReadAt(uint64_t offset, char* buffer, size_t count);

private:
    std::FILE* file = nullptr;
    uint64_t size = 0;
    bool reading = false;  // the stream's last operation was a read
};
