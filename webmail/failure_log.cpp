#include "webmail/failure_log.h"

#include <exception>

#include "core/log.h"
#include "settings/config.h"

namespace {

struct Handler {
    const char* name;
    const char* fixedText;  // what the line says instead of the exception's text, or null
};

// Indexed by FailureLog::Caught.
const Handler kHandlers[] = {
    {"::catch::vx::HttpError - ", nullptr},
    {"::catch::vx - ", nullptr},
    {"::catch::std - ", nullptr},
    {"::catch::all - ", "Unexpected"},
};

}  // namespace

vx::Str FailureLog::Text(const char* tag, Caught caught, const vx::Str& what, bool extraLogging,
                         const vx::Str& lastHeaders, const vx::Str& lastBody) {
    const Handler& handler = kHandlers[static_cast<int>(caught)];
    vx::Str text = vx::Str(tag) + handler.name + (handler.fixedText ? handler.fixedText : what);
    if (extraLogging) text += " - " + lastHeaders + lastBody;
    return text;
}

void FailureLog::LogCurrent() const {
    Caught caught = Caught::Other;
    vx::Str what;
    try {
        throw;
    } catch (const vxw::HttpError& e) {
        caught = Caught::HttpError;
        what = e.Message();
    } catch (const vx::Exception& e) {
        caught = Caught::Vx;
        what = e.Message();
    } catch (const std::exception& e) {
        caught = Caught::Std;
        what = e.what();
    } catch (...) {
    }
    Log(Text(tag, caught, what, Config::Instance().ExtraLogging(), lastHeaders, lastBody));
}
