#include "imap/spool_file.h"

#include "core/exception.h"
#include "imap/spool_file_system.h"

ImapSpoolFile::ImapSpoolFile() : file(ImapSpoolSystem::OpenPrivateTemporary()) {
    if (file == nullptr)
        throw vx::Exception("ImapSpoolFile::ImapSpoolFile::Open - Error making a temporary file");
}

ImapSpoolFile::~ImapSpoolFile() {
    std::fclose(file);
}

void ImapSpoolFile::Clear() {
    if (!ImapSpoolSystem::Truncate(file))
        throw vx::Exception("ImapSpoolFile::Clear - Error emptying the temporary file");
    size = 0;
    reading = false;
}

void ImapSpoolFile::Write(const char* data, size_t count) {
    // A stream must be positioned between a read and a write.
    if (reading) {
        if (!ImapSpoolSystem::Seek(file, size))
            throw vx::Exception("ImapSpoolFile::Write::Seek - Error writing the temporary file");
        reading = false;
    }
    if (std::fwrite(data, 1, count, file) != count)
        throw vx::Exception("ImapSpoolFile::Write - Error writing the temporary file");
    size += count;
}

size_t ImapSpoolFile::ReadAt(uint64_t offset, char* buffer, size_t count) {
    if (offset >= size) return 0;
    if (!ImapSpoolSystem::Seek(file, offset))
        throw vx::Exception("ImapSpoolFile::ReadAt::Seek - Error reading the temporary file");
    reading = true;
    size_t got = std::fread(buffer, 1, count, file);
    if (got == 0 && std::ferror(file))
        throw vx::Exception("ImapSpoolFile::ReadAt - Error reading the temporary file");
    return got;
}
