#include "gateway/command_line.h"

#include <algorithm>
#include <cctype>

namespace app {

bool IsDetachRequest(const vx::Str& argumentText) { return argumentText == "/detach"; }

bool HasSwitch(const vx::Str& fullCommandLine, const vx::Str& name) {
    auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(fullCommandLine.begin(), fullCommandLine.end(), name.begin(), name.end(),
                       sameLetter) != fullCommandLine.end();
}

}  // namespace app
