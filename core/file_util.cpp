#include "core/file_util.h"

#include <cstdio>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) std::fclose(file);
    }
};

// Writes bytes and closes; true only when every byte went out and the close worked.
bool WriteAndClose(std::FILE* file, const vx::Str& bytes) {
    if (file == nullptr) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace

bool LoadFile(const vx::Str& fileName, vx::Str& text) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) return false;
    vx::Str content;
    char piece[65536];
    size_t count;
    while ((count = std::fread(piece, 1, sizeof piece, file)) > 0) content.append(piece, count);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    if (!ok) return false;
    text.swap(content);
    return true;
}

bool SaveToFile(const vx::Str& fileName, const vx::Str& bytes) {
    return WriteAndClose(std::fopen(fileName.c_str(), "wb"), bytes);
}

bool AppendToFile(const vx::Str& fileName, const vx::Str& bytes) {
    if (bytes.empty()) return true;
    return WriteAndClose(std::fopen(fileName.c_str(), "ab"), bytes);
}
