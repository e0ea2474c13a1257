#include "settings/reg_file.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "text/utf8.h"

namespace vxw {
namespace {

bool SameText(const vx::Str& a, const vx::Str& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

void AppendUtf8(vx::Str& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE bytes to UTF-8; an unpaired surrogate becomes U+FFFD.
vx::Str Utf16LeToUtf8(const char* bytes, size_t size) {
    vx::Str out;
    auto unit = [bytes](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    };
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < size && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// UTF-8 to UTF-16LE, the form of the text types in "hex(n):" lines.
vx::Str Utf8ToUtf16Le(const vx::Str& text) {
    vx::Str out;
    auto unit = [&out](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (uint32_t cp : vx::StrUtil::DecodeUtf8(text)) {
        if (cp > 0x10FFFF) cp = 0xFFFD;
        if (cp >= 0x10000) {
            unit(0xD800 | (cp - 0x10000) >> 10);
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

bool IsValidUtf8(const vx::Str& text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t follow = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 9;
        if (follow == 9 || (follow == 1 && c < 0xC2)) return false;
        if (follow > 0 && i + follow >= text.size()) return false;
        for (size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}

// Reads a quoted text with the escapes \\ and \" starting at text[at] == '"'.
bool ReadQuoted(const vx::Str& text, size_t& at, vx::Str& out) {
    if (at >= text.size() || text[at] != '"') return false;
    out.clear();
    for (++at; at < text.size(); ++at) {
        char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (++at >= text.size() || (text[at] != '\\' && text[at] != '"')) return false;
            c = text[at];
        }
        out += c;
    }
    return false;
}

vx::Str Quote(const vx::Str& text) {
    vx::Str out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "aa,bb, cc" to bytes; blanks around the entries are allowed.
bool ReadHexBytes(const vx::Str& text, vx::Str& out) {
    out.clear();
    size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    };
    skipBlanks();
    if (at == text.size()) return true;
    for (;;) {
        skipBlanks();
        if (at + 2 > text.size()) return false;
        int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        at += 2;
        skipBlanks();
        if (at == text.size()) return true;
        if (text[at++] != ',') return false;
    }
}

bool ReadNumberAfter(const vx::Str& text, size_t at, uint32_t& number, char end) {
    size_t digits = 0;
    number = 0;
    for (; at < text.size() && text[at] != end; ++at, ++digits) {
        int d = HexDigit(text[at]);
        if (d < 0 || digits == 8) return false;
        number = number * 16 + static_cast<uint32_t>(d);
    }
    return digits > 0 && (end == '\0' ? at == text.size() : at < text.size());
}

vx::Str RenderHex(const vx::Str& bytes) {
    vx::Str out;
    char piece[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(piece, sizeof piece, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i > 0) out += ',';
        out += piece;
    }
    return out;
}

vx::Str RenderValue(const vx::Str& name, const RegValue& value) {
    vx::Str line = name.empty() ? vx::Str("@") : Quote(name);
    line += '=';
    // A quoted text is one line; a line break would end it early and turn
    // the rest of the text into a line of its own.
    if (value.type == kRegSz && !value.data.empty() && value.data.back() == '\0' &&
        value.data.find('\0') == value.data.size() - 1 &&
        value.data.find_first_of("\r\n") == vx::Str::npos) {
        return line + Quote(value.data.substr(0, value.data.size() - 1));
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return line + text;
    }
    if (value.type == kRegBinary) return line + "hex:" + RenderHex(value.data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    bool text = value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
    return line + prefix + RenderHex(text ? Utf8ToUtf16Le(value.data) : value.data);
}

struct LogicalLine {
    vx::Str text;    // as written: its lines with CR LF between them
    vx::Str joined;  // "\"-continued hex lines joined, for reading
    size_t number;   // of its first line, from 1
};

// Splits into lines (LF or CR LF) and joins "\"-continued hex lines. Only a
// line that itself ends in "\" goes on, so an empty line always ends a value.
std::vector<LogicalLine> LogicalLines(const vx::Str& text) {
    std::vector<LogicalLine> lines;
    size_t start = 0, number = 0;
    bool continuing = false;
    while (start < text.size()) {
        ++number;
        size_t end = text.find('\n', start);
        if (end == vx::Str::npos) end = text.size();
        vx::Str line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (continuing) {
            lines.back().text += "\r\n" + line;
            size_t first = line.find_first_not_of(" \t");
            lines.back().joined += first == vx::Str::npos ? vx::Str() : line.substr(first);
        } else {
            lines.push_back({line, line, number});
        }
        vx::Str& joined = lines.back().joined;
        continuing = !line.empty() && line.back() == '\\' && joined.find("=hex") != vx::Str::npos;
        if (continuing) joined.pop_back();
    }
    return lines;
}

}  // namespace

RegValue RegFile::String(const vx::Str& text) {
    RegValue value;
    value.type = kRegSz;
    value.data = text + '\0';
    return value;
}

RegValue RegFile::Dword(uint32_t number) {
    RegValue value;
    value.type = kRegDword;
    for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
    return value;
}

bool RegFile::ParseValueLine(const vx::Str& text, Line& line) {
    if (!IsValidUtf8(text)) return false;
    size_t at = 0;
    if (text.compare(0, 2, "@=") == 0) {
        line.name.clear();
        at = 1;
    } else if (!ReadQuoted(text, at, line.name)) {
        return false;
    }
    if (at >= text.size() || text[at] != '=') return false;
    ++at;
    vx::Str rest = text.substr(at);
    RegValue& value = line.value;
    if (!rest.empty() && rest[0] == '"') {
        size_t pos = 0;
        vx::Str content;
        if (!ReadQuoted(rest, pos, content) || rest.find_first_not_of(" \t", pos) != vx::Str::npos)
            return false;
        value = String(content);
        return true;
    }
    uint32_t number = 0;
    if (rest.compare(0, 6, "dword:") == 0) {
        if (!ReadNumberAfter(rest, 6, number, '\0')) return false;
        value = Dword(number);
        return true;
    }
    size_t colon = rest.find(':');
    if (rest.compare(0, 4, "hex:") == 0) {
        value.type = kRegBinary;
    } else if (rest.compare(0, 4, "hex(") == 0 && ReadNumberAfter(rest, 4, number, ')') &&
               colon == rest.find(')') + 1) {
        value.type = number;
    } else {
        return false;
    }
    if (!ReadHexBytes(rest.substr(colon + 1), value.data)) return false;
    // Version 5.00 files carry the text types in UTF-16LE; the narrow registry
    // functions hand them out as narrow text.
    if (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz) {
        value.data = Utf16LeToUtf8(value.data.data(), value.data.size());
    }
    return true;
}

RegFile RegFile::Parse(const vx::Str& bytes) {
    vx::Str decoded;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        decoded = Utf16LeToUtf8(bytes.data() + 2, bytes.size() - 2);
    } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        decoded = bytes.substr(3);
    } else {
        decoded = bytes;
    }
    RegFile file;
    bool first = true, signature = false, keyed = false, loose = false, junk = false;
    for (const LogicalLine& logical : LogicalLines(decoded)) {
        const vx::Str& text = logical.joined;
        if (first && (text == "Windows Registry Editor Version 5.00" || text == "REGEDIT4")) {
            file.signature = text;
            first = false;
            signature = true;
            continue;
        }
        first = false;
        if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
            Section section;
            section.header = logical.text;
            section.key = text.substr(1, text.size() - 2);
            file.sections.push_back(section);
            keyed = true;
            continue;
        }
        Line line;
        line.text = logical.text;  // written back as it was read
        line.number = logical.number;
        Section& current = file.sections.back();
        line.isValue = !current.header.empty() && ParseValueLine(text, line);
        if (!keyed) {
            Line value;
            size_t start = text.find_first_not_of(" \t");
            bool blank = start == vx::Str::npos || text[start] == ';';
            bool looseValue = !blank && ParseValueLine(text, value);
            loose = loose || looseValue;
            junk = junk || (!blank && !looseValue);
        }
        current.lines.push_back(line);
    }
    // A line that is not UTF-8 is only an unreadable line; a zero byte is
    // no text at all (UTF-16 without its byte-order mark, binary data).
    file.readable = (keyed || loose || (signature && !junk)) && decoded.find('\0') == vx::Str::npos;
    return file;
}

bool RegFile::AdoptLooseValues(const vx::Str& key) {
    if (sections.size() != 1) return false;
    Section adopted;
    adopted.header = "[" + key + "]";
    adopted.key = key;
    bool any = false;
    for (Line line : sections[0].lines) {
        std::vector<LogicalLine> logical = LogicalLines(line.text);
        line.isValue = logical.size() == 1 && ParseValueLine(logical[0].joined, line);
        any = any || line.isValue;
        adopted.lines.push_back(line);
    }
    if (!any) return false;
    sections[0].lines.assign(1, Line());  // the blank line between the first line and the key
    sections.push_back(adopted);
    return true;
}

size_t RegFile::LineOf(const vx::Str& key, const vx::Str& name) const {
    const Section* section = FindSection(key);
    size_t number = 0;
    if (section == nullptr) return 0;
    for (const Line& line : section->lines) {
        if (line.isValue && SameText(line.name, name)) number = line.number;
    }
    return number;
}

std::vector<RegFile::Unreadable> RegFile::UnreadableLines(const vx::Str& key) const {
    std::vector<Unreadable> lines;
    const Section* section = FindSection(key);
    if (section == nullptr) return lines;
    for (const Line& line : section->lines) {
        size_t first = line.text.find_first_not_of(" \t");
        if (line.isValue || first == vx::Str::npos || line.text[first] == ';') continue;
        lines.push_back({line.number, line.text});
    }
    return lines;
}

vx::Str RegFile::Serialize() const {
    vx::Str out = signature + "\r\n";
    for (const Section& section : sections) {
        if (!section.header.empty()) out += section.header + "\r\n";
        for (const Line& line : section.lines) out += line.text + "\r\n";
    }
    return out;
}

RegFile::Section* RegFile::FindSection(const vx::Str& key) {
    for (Section& section : sections) {
        if (!section.header.empty() && SameText(section.key, key)) return &section;
    }
    return nullptr;
}

const RegFile::Section* RegFile::FindSection(const vx::Str& key) const {
    return const_cast<RegFile*>(this)->FindSection(key);
}

const RegValue* RegFile::Find(const vx::Str& key, const vx::Str& name) const {
    const Section* section = FindSection(key);
    if (section == nullptr) return nullptr;
    const RegValue* found = nullptr;
    for (const Line& line : section->lines) {
        if (line.isValue && SameText(line.name, name)) found = &line.value;  // the last one wins, as on import
    }
    return found;
}

std::vector<vx::Str> RegFile::Names(const vx::Str& key) const {
    std::vector<vx::Str> names;
    const Section* section = FindSection(key);
    if (section == nullptr) return names;
    for (const Line& line : section->lines) {
        if (!line.isValue) continue;
        bool seen = false;
        for (const vx::Str& name : names) seen = seen || SameText(name, line.name);
        if (!seen) names.push_back(line.name);
    }
    return names;
}

void RegFile::Set(const vx::Str& key, const vx::Str& name, const RegValue& value) {
    Section* section = FindSection(key);
    if (section == nullptr) {
        Section& last = sections.back();
        if (last.lines.empty() ? !last.header.empty() || sections.size() == 1
                               : !last.lines.back().text.empty()) {
            Line blank;
            last.lines.push_back(blank);
        }
        Section added;
        added.header = "[" + key + "]";
        added.key = key;
        sections.push_back(added);
        section = &sections.back();
    }
    Line* existing = nullptr;
    for (Line& line : section->lines) {
        if (line.isValue && SameText(line.name, name)) existing = &line;
    }
    if (existing == nullptr) {
        size_t at = section->lines.size();
        while (at > 0 && section->lines[at - 1].text.empty()) --at;
        // A last line left open by a final "\\" would take the new line in.
        if (at > 0 && section->lines[at - 1].text.back() == '\\')
            section->lines.insert(section->lines.begin() + static_cast<long>(at++), Line());
        Line line;
        line.isValue = true;
        line.name = name;
        existing = &*section->lines.insert(section->lines.begin() + static_cast<long>(at), line);
    }
    existing->value = value;
    existing->text = RenderValue(existing->name, value);
}

}  // namespace vxw
