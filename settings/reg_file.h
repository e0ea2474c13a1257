#pragma once
// The text form of registry keys that the Windows registry editor exports and
// imports ("Windows Registry Editor Version 5.00"). The settings store keeps
// the program's key in such a file where there is no registry, so a file can
// move between the two worlds with regedit.
//
// Values keep the registry's own types and raw bytes, as the narrow registry
// functions return them: a REG_SZ is its text plus a terminating zero.
// Lines that are not understood, and sections of other keys, are kept as they
// were and written back unchanged.
#include <cstdint>
#include <vector>

#include "core/str.h"

namespace vxw {

enum RegType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

struct RegValue {
    uint32_t type = kRegNone;
    vx::Str data;  // raw bytes
};

class RegFile {
public:
    // Parses a document in UTF-8 (with or without a byte-order mark) or in
    // UTF-16LE with a byte-order mark. Never throws on bad content.
    static RegFile Parse(const vx::Str& bytes);

    // The document in UTF-8 with CR LF line ends.
    vx::Str Serialize() const;

    // Values of the section "[<key>]" (key as "HKEY_CURRENT_USER\\Software\\...").
    // Names compare without regard to case, as in the registry.
    const RegValue* Find(const vx::Str& key, const vx::Str& name) const;
    void Set(const vx::Str& key, const vx::Str& name, const RegValue& value);
    // The names of the values of a section, in the document's order, each once.
    std::vector<vx::Str> Names(const vx::Str& key) const;

    // The number of the line (from 1) that holds the value Find returns; 0
    // when there is none.
    size_t LineOf(const vx::Str& key, const vx::Str& name) const;

    struct Unreadable {
        size_t line;   // from 1
        vx::Str text;  // as written
    };
    // The lines of a section that are neither a value, nor blank, nor a
    // comment: a misspelt type, bad hex, a quote left open.
    std::vector<Unreadable> UnreadableLines(const vx::Str& key) const;

    // False for bytes that are no registry file at all: nothing but blanks,
    // bytes that are not text (UTF-16 without its byte-order mark, binary
    // data), or text with neither the editor's first line, nor a key line,
    // nor a single value line.
    bool Readable() const { return readable; }

    // A file of value lines without the first line and the key line, as a
    // user writes them: they become the values of key. True when that was
    // the case (the key line is then written in front of them).
    bool AdoptLooseValues(const vx::Str& key);

    static RegValue String(const vx::Str& text);
    static RegValue Dword(uint32_t number);

private:
    struct Line {
        vx::Str text;       // the line(s) as read or as rendered, without the final CR LF
        size_t number = 0;  // where it was read, from 1; 0 for a line added since
        bool isValue = false;
        vx::Str name;       // for values
        RegValue value;
    };
    struct Section {
        vx::Str header;     // "[...]" line as written; empty for lines before the first section
        vx::Str key;        // the key named by the header
        std::vector<Line> lines;
    };

    Section* FindSection(const vx::Str& key);
    const Section* FindSection(const vx::Str& key) const;
    static bool ParseValueLine(const vx::Str& text, Line& line);

    vx::Str signature = "Windows Registry Editor Version 5.00";
    bool readable = true;
    std::vector<Section> sections = std::vector<Section>(1);  // [0]: lines before the first key
};

}  // namespace vxw
