#pragma once
// Builds the node tree of vx::Xml. Not recursive: open elements sit on a stack
// of their own, bounded by kMaxDepth, so no document can exhaust the thread's
// stack (nor that of the recursive searches and destructors of the tree).
// Every read is bounded by the text's size; the end of the text reads as NUL.
#include <memory>
#include <vector>

#include "text/xml.h"

namespace vx {

// Elements as the parser meets them, for a reader that wants a few values
// out of a large document without the tree: Open as each start tag is read
// (the root at depth 1), Close as it ends, with the raw range of its content
// (what Xml::GetValue would decode; empty when self-closing).
class XmlVisitor {
public:
    virtual ~XmlVisitor() = default;
    virtual void Open(std::string_view name, size_t depth) = 0;
    virtual void Close(size_t depth, std::string_view content) = 0;
};

class XmlParser {
public:
    static constexpr size_t kMaxDepth = 256;  // element nesting levels, the root being 1

    // Throws when the text is too large for the nodes' 32-bit positions.
    explicit XmlParser(std::shared_ptr<const Str> text);

    // The "<?xml ...?>" tag at position 0, as a node with its attributes.
    Xml ParseDeclaration();
    // The first element of the document and everything inside it.
    Xml ParseDocument();
    // The same document, checked as strictly, handed to visitor element by
    // element; nothing is kept.
    void Scan(XmlVisitor& visitor);

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
    std::string_view NameView(const Tag& tag) const {
        return std::string_view(characters + tag.nameStart, tag.nameLength);
    }
    // The walk shared by ParseDocument and Scan: open(tag) for each start tag
    // and close(its start tag, where its content ends) for each end, a
    // self-closing tag closing at once; ends after the first element's end.
    template <class OnOpen, class OnClose>
    void Walk(OnOpen open, OnClose close);

    std::shared_ptr<const Str> text;
    const char* characters;
    size_t size;
    std::vector<Xml> attributes;  // of the tag being read
    std::vector<Xml> children;    // finished children of every open element, innermost last
};

}  // namespace vx
