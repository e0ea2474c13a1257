#pragma once
// Builds the node tree of vx::Xml. Not recursive: open elements sit on a stack
// of their own, bounded by kMaxDepth, so no document can exhaust the thread's
// stack (nor that of the recursive searches and destructors of the tree).
// Every read is bounded by the text's size; the end of the text reads as NUL.
#include <memory>
#include <vector>

#include "text/xml.h"

namespace vx {

class XmlParser {
public:
    static constexpr size_t kMaxDepth = 256;  // element nesting levels, the root being 1

    // Throws when the text is too large for the nodes' 32-bit positions.
    explicit XmlParser(std::shared_ptr<const Str> text);

    // The "<?xml ...?>" tag at position 0, as a node with its attributes.
    Xml ParseDeclaration();
    // The first element of the document and everything inside it.
    Xml ParseDocument();

private:
    struct Tag {
        size_t nameStart = 0;
        size_t nameLength = 0;
        bool selfClosing = false;
        bool closing = false;
        size_t end = 0;  // just after the tag's ">"
    };
    struct Open {
        Xml node;
        std::shared_ptr<Xml::Lists> lists;  // filled while the element is open
        size_t firstChild;                  // where its children start in the child stack
    };

    char At(size_t position) const { return position < size ? characters[position] : '\0'; }
    size_t SkipSpace(size_t position) const;
    size_t ReadName(size_t position) const;
    size_t FindNextNode(size_t position) const;
    Tag ParseTag(size_t position);
    size_t ParseAttribute(size_t position);
    Open OpenElement(const Tag& tag);
    Xml CloseElement(Open& open, size_t endTag);
    Str NameOf(const Tag& tag) const { return text->substr(tag.nameStart, tag.nameLength); }

    std::shared_ptr<const Str> text;
    const char* characters;
    size_t size;
    std::vector<Xml> attributes;  // of the tag being read
    std::vector<Xml> children;    // finished children of every open element, innermost last
};

}  // namespace vx
