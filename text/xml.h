#pragma once
// A small non-validating XML reader for the service's multistatus answers.
// The whole document is parsed at construction into a tree of nodes that hold
// positions into one shared copy of the text; elements are found by their
// literal qualified name ("D:href": no namespace resolution), and values come
// out with character and entity references decoded. Copying a node costs two
// reference counts.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/str.h"

namespace vx {

class XmlParser;
class XmlVisitor;

class Xml {
public:
    // Parses at once; throws vx::Exception (code 0) for malformed input. A
    // declaration "<?xml ... encoding="..."?>" at the very start has the text
    // converted from that set to UTF-8 first. The result is the root element.
    explicit Xml(Str document);
    // The same reading of document (its declared character set included),
    // handed to visitor element by element instead of kept as a tree; throws
    // as the constructor does. document must outlive the call only.
    static void Scan(const Str& document, XmlVisitor& visitor);
    // An element's raw content as GetValue gives it: a CDATA section that
    // opens it, or the text with references decoded.
    static Str Decode(std::string_view content);

    // The first descendant element (not this node) of that name, depth first in
    // document order; the empty node (no name, no value) when there is none.
    Xml FindFirst(std::string_view name) const;
    // out is emptied, then receives every descendant element of that name, in
    // document order, nested matches included.
    void FindAll(std::string_view name, std::vector<Xml>& out) const;

    // The raw text between the start and end tag with references decoded (child
    // markup included), or the content of a CDATA section that opens it.
    Str GetValue() const;
    // The GetValue of the first attribute of that name, or "".
    Str GetAttribute(std::string_view name) const;
    Str GetName() const;

private:
    friend class XmlParser;
    struct Lists {
        std::vector<Xml> attributes;  // in source order
        std::vector<Xml> children;    // child elements in document order
    };

    explicit Xml(std::shared_ptr<const Str> text);
    // document, or its conversion to UTF-8 when its declaration names another set.
    static std::shared_ptr<const Str> InUtf8(std::shared_ptr<const Str> document);
    bool HasName(std::string_view name) const;
    bool FindFirstInto(std::string_view name, Xml& found) const;
    void AppendAll(std::string_view name, std::vector<Xml>& out) const;

    std::shared_ptr<const Str> text;  // the whole document, shared by every node
    const char* characters;           // text->data()
    int32_t nameStart = 0;
    int32_t nameLength = 0;
    int32_t valueStart = 0;   // element: after the start tag; attribute: after the quote
    int32_t valueLength = 0;  // element: up to the "<" of the end tag (0 when self-closing)
    std::shared_ptr<const Lists> lists;  // absent when the node has neither
};

}  // namespace vx
