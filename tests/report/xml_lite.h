#pragma once
// A strict little XML reader for the report tests: the report is written so
// that it is well-formed XML as well as HTML, and this reader refuses what a
// browser would quietly repair (an unclosed or crossed element, a bare "&" or
// "<", an unquoted or repeated attribute, an unknown entity, bytes that are not
// UTF-8, a second root). It keeps elements, attributes and text; comments,
// processing instructions and the doctype are checked and dropped.

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::test::xml {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<Element> children;
    std::string text;  // the element's own text, entities decoded, without that of its children

    std::string attribute(const std::string& key) const {
        const auto it = attributes.find(key);
        return it == attributes.end() ? std::string() : it->second;
    }
    bool hasClass(std::string_view cls) const;
    // All text below this element, in document order.
    std::string allText() const;
};

struct ParseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The root element; throws ParseError with the byte offset of the fault.
Element parse(std::string_view document);

// Every element below `root` (and `root` itself) for which `match` holds, in document order.
template <typename Match>
void collect(const Element& root, Match match, std::vector<const Element*>& out) {
    if (match(root)) out.push_back(&root);
    for (const auto& child : root.children) collect(child, match, out);
}

template <typename Match>
std::vector<const Element*> findAll(const Element& root, Match match) {
    std::vector<const Element*> out;
    collect(root, match, out);
    return out;
}

}  // namespace plyvet::test::xml
