#pragma once
// The constant character-set and entity tables, generated into
// charset_tables_*.cpp and entity_table.cpp by tools/gen_charset_tables.py.
// All values lie in the Basic Multilingual Plane, so 16 bits hold them.
#include <cstddef>
#include <cstdint>

namespace vx {
namespace CharsetTables {

// A byte that a single-byte code page leaves undefined decodes to this.
constexpr uint16_t kUndefined = 0xFFFD;

struct SingleByteTable {
    const char* name;
    const uint16_t* values;  // 256, indexed by the byte
};

// In the order that decides which set is chosen for outgoing text.
constexpr size_t kSingleByteCount = 23;
extern const SingleByteTable kSingleByte[kSingleByteCount];

// Multi-byte tables, indexed by lead * 256 + trail. A code without a mapping
// holds its own index.
constexpr uint32_t kBig5Count = 0xF9D6;
extern const uint16_t kBig5[kBig5Count];
constexpr uint32_t kGbCount = 0xFE50;  // code page 936
extern const uint16_t kGb[kGbCount];
// Single bytes at their own index (JIS X 0201), pairs at lead * 256 + trail.
constexpr uint32_t kShiftJisCount = 0xEAA5;
extern const uint16_t kShiftJis[kShiftJisCount];
// JIS X 0201 Roman: ASCII but 0x5C = U+00A5 and 0x7E = U+203E.
extern const uint16_t kJisRoman[256];
// Row byte * 256 + cell byte, each 0x21-0x7E.
constexpr uint32_t kJisX0208Count = 0x7427;
extern const uint16_t kJisX0208[kJisX0208Count];

struct Entity {
    const char* name;
    uint16_t codePoint;
};

// The HTML 4.01 character entities, sorted by name in byte order.
constexpr size_t kEntityCount = 252;
extern const Entity kEntities[kEntityCount];

}  // namespace CharsetTables
}  // namespace vx
