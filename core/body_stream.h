#pragma once
// The two directions of a body that need not be held whole: a sink that takes
// a response body piece by piece as it arrives, and a source that gives a
// request body piece by piece and can start over (a request may have to go
// out again after an authentication challenge, a redirect or a retry).
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/str.h"

namespace vxw {

class BodySink {
public:
    virtual ~BodySink() = default;
    // The next bytes of the body, in order. False when no more are wanted:
    // the rest is not read.
    virtual bool Put(const char* data, size_t size) = 0;
};

class BodySource {
public:
    virtual ~BodySource() = default;
    // The body's length in bytes, for the Content-Length.
    virtual uint64_t Size() const = 0;
    // Back to the first byte.
    virtual void Rewind() = 0;
    // Up to size of the next bytes into buffer; 0 at the end. Throws when
    // the bytes cannot be had.
    virtual size_t Read(char* buffer, size_t size) = 0;
};

// A source over a text in parts kept elsewhere; the parts must outlive it.
class PartsSource : public BodySource {
public:
    explicit PartsSource(vx::StrParts parts);
    uint64_t Size() const override { return size; }
    void Rewind() override { part = 0, offset = 0; }
    size_t Read(char* buffer, size_t size) override;

private:
    vx::StrParts parts;
    uint64_t size = 0;
    size_t part = 0;    // the part the next byte comes from
    size_t offset = 0;  // within that part
};

// A text followed by the bytes of another source (a submission's envelope in
// front of its message); the other source must outlive it.
class PrefixedSource : public BodySource {
public:
    PrefixedSource(vx::Str prefix, BodySource& rest) : prefix(std::move(prefix)), rest(rest) {}
    uint64_t Size() const override { return prefix.size() + rest.Size(); }
    void Rewind() override;
    size_t Read(char* buffer, size_t size) override;

private:
    vx::Str prefix;
    BodySource& rest;
    size_t offset = 0;  // within prefix
};

// A sink that writes the body to a file, created anew (an existing one is
// replaced) by Open. Put throws vx::Exception with failureText when a write
// fails.
class FileSink : public BodySink {
public:
    FileSink(vx::Str fileName, vx::Str failureText)
        : fileName(std::move(fileName)), failureText(std::move(failureText)) {}
    // Closes quietly; a caller that needs to know calls Close.
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Throws vx::Exception with failureText when the file cannot be created.
    void Open();
    bool Put(const char* data, size_t size) override;
    // Flushes and closes; throws vx::Exception with failureText when the
    // last bytes cannot be written. Safe to call twice.
    void Close();
    // Closes quietly and removes the file if Open made it: what it holds is
    // no good.
    void Discard();
    bool IsOpen() const { return file != nullptr; }

private:
    [[noreturn]] void Fail();

    vx::Str fileName;
    vx::Str failureText;
    std::FILE* file = nullptr;
    bool created = false;  // Open made the file
};

}  // namespace vxw
