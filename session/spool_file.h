#pragma once
// A temporary file for message data that does not fit in memory, in the
// user's private spool folder. It has no name anyone can open (POSIX: an
// unnamed or at once unlinked file; Windows: a file deleted when its handle
// closes), so it is gone when the object goes, when the program exits and
// when it crashes; only the bytes written are readable, by this object.
#include <cstddef>
#include <cstdint>

#include "core/str.h"

namespace vxw {

class SpoolFile {
public:
    // Creates the file in folder (which ends in a separator). Throws
    // "vxw::SpoolFile::Open - Error creating a spool file - <folder>" with the
    // system's error number.
    explicit SpoolFile(const vx::Str& folder);
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Appends every byte or throws ("... Error writing a spool file").
    void Write(const char* data, size_t size);
    // Up to size bytes from offset on; 0 at the end. Throws on a failed read.
    size_t ReadAt(uint64_t offset, char* buffer, size_t size);

private:
    intptr_t handle;  // a descriptor or a HANDLE
};

// The folder of the spool files, created when missing: "spool" in the user's
// state folder, for the user alone.
vx::Str SpoolFolder();

// Removes the files a gateway left in folder when its machine went down with
// files open. A file another running gateway still holds is left alone.
// Returns how many were removed.
int RemoveSpoolLeftovers(const vx::Str& folder);

}  // namespace vxw
