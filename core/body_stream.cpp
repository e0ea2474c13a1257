#include "core/body_stream.h"

#include <algorithm>
#include <cstring>

#include "core/exception.h"

namespace vxw {

PartsSource::PartsSource(vx::StrParts parts) : parts(std::move(parts)) {
    for (std::string_view piece : this->parts) size += piece.size();
}

size_t PartsSource::Read(char* buffer, size_t wanted) {
    size_t done = 0;
    while (done < wanted && part < parts.size()) {
        std::string_view piece = parts[part];
        size_t take = std::min(wanted - done, piece.size() - offset);
        std::memcpy(buffer + done, piece.data() + offset, take);
        done += take;
        offset += take;
        if (offset == piece.size()) ++part, offset = 0;
    }
    return done;
}

void PrefixedSource::Rewind() {
    offset = 0;
    rest.Rewind();
}

size_t PrefixedSource::Read(char* buffer, size_t size) {
    size_t take = std::min(size, prefix.size() - offset);
    std::memcpy(buffer, prefix.data() + offset, take);
    offset += take;
    if (take == size) return take;
    return take + rest.Read(buffer + take, size - take);
}

FileSink::~FileSink() {
    if (file != nullptr) std::fclose(file);
}

void FileSink::Open() {
    Close();
    file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) throw vx::Exception(failureText);
    created = true;
}

bool FileSink::Put(const char* data, size_t size) {
    if (file == nullptr || std::fwrite(data, 1, size, file) != size) Fail();
    return true;
}

void FileSink::Close() {
    if (file == nullptr) return;
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0) throw vx::Exception(failureText);
}

void FileSink::Discard() {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    if (created) std::remove(fileName.c_str());
    created = false;
}

void FileSink::Fail() {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    throw vx::Exception(failureText);
}

}  // namespace vxw
