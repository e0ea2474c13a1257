// The XML reader on any document: it parses or refuses with vx::Exception,
// and every node it hands out reads back within the document. Reading the
// same document element by element, without the tree, agrees with the tree.
#include <memory>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "fuzz/support/fuzz_check.h"
#include "text/xml.h"
#include "text/xml_parser.h"

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

// A value, or a mark for a value that cannot be read (an unterminated CDATA
// section), which the tree and the scan must agree on too.
template <class Read>
vx::Str ValueOr(Read read) {
    try {
        return read();
    } catch (const vx::Exception&) {
        return "\x01unreadable";
    }
}

// Counts the elements of one name below the root and keeps the content of
// the first, as FindAll and FindFirst see them.
class NameCounter : public vx::XmlVisitor {
public:
    explicit NameCounter(std::string_view name) : name(name) {}
    void Open(std::string_view element, size_t depth) override {
        if (depth < 2 || element != name) return;
        if (count++ == 0) firstDepth = depth;
    }
    void Close(size_t depth, std::string_view content) override {
        if (depth != firstDepth || closed) return;
        closed = true;
        first = ValueOr([&] { return vx::Xml::Decode(content); });
    }
    std::string_view name;
    size_t count = 0;
    size_t firstDepth = 0;
    bool closed = false;
    vx::Str first;
};

// The scan of text for name: false when it refused the document.
bool Scan(const vx::Str& text, NameCounter& counter) {
    try {
        vx::Xml::Scan(text, counter);
        return true;
    } catch (const vx::Exception&) {
        return false;
    }
}

void CompareWithScan(const vx::Str& text, const vx::Xml* root) {
    for (const char* name : kNames) {
        NameCounter counter(name);
        bool scanned = Scan(text, counter);
        FUZZ_CHECK(scanned == (root != nullptr));
        if (!root) return;
        std::vector<vx::Xml> found;
        root->FindAll(name, found);
        FUZZ_CHECK(counter.count == found.size());
        if (found.empty()) continue;
        FUZZ_CHECK(counter.closed);
        FUZZ_CHECK(counter.first == ValueOr([&] { return found[0].GetValue(); }));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vx::Str text(fuzz_support::AsText(data, size));
    std::unique_ptr<vx::Xml> root;
    try {
        root = std::make_unique<vx::Xml>(text);
        root->GetValue();
        root->GetAttribute("version");
        ReadNodes(*root, root->GetName());
        for (const char* name : kNames) ReadNodes(*root, name);
    } catch (const vx::Exception&) {
        // Refused as malformed: the promised way to fail.
    }
    CompareWithScan(text, root.get());
    return 0;
}
