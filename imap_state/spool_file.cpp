#include "imap_state/spool_file.h"

#include <algorithm>

ImapSpoolFile::ImapSpoolFile(vx::Str folder) : folder(std::move(folder)) {}

void ImapSpoolFile::Clear() {
    file.reset();
    size = 0;
}

void ImapSpoolFile::Write(const char* data, size_t count) {
    if (!file) {
        if (folder.empty()) folder = vxw::SpoolFolder();
        file = std::make_unique<vxw::SpoolFile>(folder);
    }
    file->Write(data, count);
    size += count;
}

size_t ImapSpoolFile::ReadAt(uint64_t offset, char* buffer, size_t count) {
    if (!file || offset >= size) return 0;
    return file->ReadAt(offset, buffer, static_cast<size_t>(std::min<uint64_t>(count, size - offset)));
}
