// The XML reader on any document: it parses or refuses with vx::Exception,
// and every node it hands out reads back within the document.
#include <vector>

#include "core/exception.h"
#include "fuzz/support/fuzz_check.h"
#include "text/xml.h"

namespace {

// The names the web mail client looks for, and short ones a mutation finds.
const char* const kNames[] = {"D:response", "D:href", "D:prop", "D:getcontentlength",
                              "hm:inbox",   "a",      "b",      "x"};
// Enough to reach every kind of node without making one input slow.
constexpr size_t kNodesPerName = 64;

void ReadNodes(const vx::Xml& root, const vx::Str& name) {
    std::vector<vx::Xml> found{root};
    root.FindAll(name, found);
    vx::Xml first = root.FindFirst(name);
    FUZZ_CHECK(found.empty() == first.GetName().empty());
    if (!found.empty()) FUZZ_CHECK(first.GetValue() == found[0].GetValue());
    for (size_t i = 0; i < found.size() && i < kNodesPerName; ++i) {
        FUZZ_CHECK(found[i].GetName() == name);
        found[i].GetValue();
        found[i].GetAttribute("xmlns:D");
        found[i].GetAttribute("a");
        found[i].FindFirst("D:href").GetValue();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        vx::Xml root(vx::Str(fuzz_support::AsText(data, size)));
        root.GetValue();
        root.GetAttribute("version");
        ReadNodes(root, root.GetName());
        for (const char* name : kNames) ReadNodes(root, name);
    } catch (const vx::Exception&) {
        // Refused as malformed: the promised way to fail.
    }
    return 0;
}
