#pragma once
// A temporary file for one message's bytes while a session sends parts of
// it. The same kind of file the SMTP service spools to (session/spool_file.h):
// unnamed, in the user's private spool folder, readable by this object alone
// and gone when it goes, when the program exits and when it crashes, so a
// message never stays on disk. Not the system's temporary folder, which may
// be memory (a large message would then take as much memory as its size)
// and is shared by every user.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/str.h"
#include "session/spool_file.h"

class ImapSpoolFile {
public:
    // folder ends in a separator; "" for the user's spool folder.
    explicit ImapSpoolFile(vx::Str folder = vx::Str());

    // Empties it for the next message.
    void Clear();
    // Appends; throws vx::Exception when the disk takes no more.
    void Write(const char* data, size_t size);
    uint64_t Size() const { return size; }
    // Up to count bytes from offset; 0 at the end. Throws on a read error.
    size_t ReadAt(uint64_t offset, char* buffer, size_t count);

private:
    vx::Str folder;
    std::unique_ptr<vxw::SpoolFile> file;  // made at the first write
    uint64_t size = 0;
};
