#include "mime/mime_charset.h"

#include "core/singleton.h"
#include "text/ascii.h"
#include "text/case_fold.h"
#include "text/charset_map.h"

namespace {

// Names mail uses for sets the tables hold under another name.
const struct {
    const char* alias;
    const char* name;
} kAliases[] = {
    {"latin1", "iso-8859-1"},     {"latin-1", "iso-8859-1"},  {"l1", "iso-8859-1"},
    {"latin2", "iso-8859-2"},     {"latin-2", "iso-8859-2"},  {"cp1250", "windows-1250"},
    {"cp1251", "windows-1251"},   {"cp1252", "windows-1252"}, {"cp1253", "windows-1253"},
    {"cp1254", "windows-1254"},   {"cp1255", "windows-1255"}, {"cp1256", "windows-1256"},
    {"cp1257", "windows-1257"},   {"cp1258", "windows-1258"}, {"cp874", "windows-874"},
    {"sjis", "shift_jis"},        {"x-sjis", "shift_jis"},    {"ms_kanji", "shift_jis"},
    {"windows-31j", "shift_jis"}, {"cp932", "shift_jis"},     {"gbk", "gb2312"},
    {"cp936", "gb2312"},          {"x-gbk", "gb2312"},        {"euc-cn", "gb2312"},
    {"x-euc-jp", "euc-jp"},       {"eucjp", "euc-jp"},        {"big-5", "big5"},
    {"cn-big5", "big5"},          {"x-x-big5", "big5"},       {"unicode-1-1-utf-8", "utf-8"},
};

// "iso8859-1", "iso_8859-1", "iso-8859-1:1987" as "iso-8859-1".
vx::Str IsoName(std::string_view name) {
    std::string_view rest;
    for (std::string_view start : {"iso-8859-", "iso8859-", "iso_8859-", "iso8859_", "iso_8859_"}) {
        if (name.size() > start.size() &&
            vx::Ascii::EqualNoCase(name.substr(0, start.size()), start))
            rest = name.substr(start.size());
    }
    size_t digits = rest.find_first_not_of("0123456789");
    if (rest.empty() || digits == 0) return {};
    return "iso-8859-" + vx::Str(rest.substr(0, digits));
}

}  // namespace

MimeCharset::MimeCharset(std::string_view given) {
    const vx::CharsetMap& map = qn::Singleton<vx::CharsetMap>::Instance();
    vx::Str wanted(given);
    for (const auto& alias : kAliases)
        if (vx::Ascii::EqualNoCase(given, alias.alias)) wanted = alias.name;
    if (!map.Knows(wanted)) wanted = IsoName(given);
    if (!wanted.empty() && map.Knows(wanted)) name = wanted;
    utf8 = vx::Ascii::IsUtf8Name(name);
}

bool MimeCharset::ToCodePoints(std::string_view bytes) {
    if (utf8 || name.empty()) {
        if (vx::StrUtil::IsUtf8(bytes)) return false;
        points.clear();
        for (unsigned char byte : bytes) points.push_back(byte);
        return true;
    }
    qn::Singleton<vx::CharsetMap>::Instance().Decode(name, bytes, points);
    return true;
}

void MimeCharset::AppendUtf8(vx::Str& out, std::string_view bytes) {
    if (!ToCodePoints(bytes)) {
        out.append(bytes);
        return;
    }
    for (uint32_t point : points) vx::StrUtil::AppendUtf8(out, point);
}

void MimeCharset::AppendFolded(vx::Str& out, std::string_view bytes) {
    if (!ToCodePoints(bytes)) {
        vx::AppendFolded(out, bytes);
        return;
    }
    for (uint32_t point : points) {
        if (point < 0x80)
            out += static_cast<char>(point >= 'A' && point <= 'Z' ? point + 32 : point);
        else
            vx::StrUtil::AppendUtf8(out, vx::FoldCase(point));
    }
}
