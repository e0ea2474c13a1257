#pragma once
// The message of the exception a call throws, for comparing whole error texts.
#include <string>

#include "core/exception.h"

namespace testing_support {

template <typename Error = vx::Exception, typename Call>
std::string ErrorText(Call call) {
    try {
        call();
    } catch (const Error& e) {
        return e.Message();
    }
    return "<no exception>";
}

}  // namespace testing_support
