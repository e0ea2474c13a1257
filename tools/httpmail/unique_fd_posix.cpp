#include <unistd.h>

#include "tools/httpmail/unique_fd.h"

namespace httpmail {

UniqueFd::~UniqueFd() {
    if (fd >= 0) close(fd);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd >= 0) close(fd);
        fd = other.Release();
    }
    return *this;
}

}  // namespace httpmail
