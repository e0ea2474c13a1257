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
    if (extraLogging) text += " - " + AnswerText(lastHeaders, lastBody);
    return text;
}

namespace {

bool IsBlankByte(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f;
}

// The body's text: a page that starts with "<" loses its tags; every run of
// blanks and control bytes becomes one blank.
vx::Str BodyWords(const vx::Str& body) {
    size_t first = 0;
    while (first < body.size() && IsBlankByte(body[first])) ++first;
    bool markup = first < body.size() && body[first] == '<';
    vx::Str words;
    bool inTag = false, blank = false;
    for (size_t i = first; i < body.size(); ++i) {
        char c = body[i];
        if (markup && (inTag || c == '<')) {
            inTag = c != '>';
            blank = true;
            continue;
        }
        if (IsBlankByte(c)) {
            blank = true;
            continue;
        }
        if (blank && !words.empty()) words += ' ';
        blank = false;
        words += c;
    }
    return words;
}

}  // namespace

vx::Str FailureLog::AnswerText(const vx::Str& headers, const vx::Str& body) {
    vx::Str text = headers.substr(0, headers.find_first_of("\r\n"));
    vx::Str words = BodyWords(body);
    if (words.size() > kMaxBodyText) {
        size_t cut = kMaxBodyText;
        // Not in the middle of a UTF-8 character.
        while (cut > 0 && (static_cast<unsigned char>(words[cut]) & 0xC0) == 0x80) --cut;
        words = words.substr(0, cut) + "\xE2\x80\xA6";
    }
    if (!words.empty()) text += (text.empty() ? "" : " - ") + words;
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
