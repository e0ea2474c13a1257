#pragma once
// Owns one file descriptor and closes it.

namespace httpmail {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd; }
    bool Valid() const { return fd >= 0; }
    int Release() {
        const int old = fd;
        fd = -1;
        return old;
    }

private:
    int fd = -1;
};

}  // namespace httpmail
