// A small reader of XML documents such as instruments write: elements with
// their attributes and text, in document order. It knows the five predefined
// entities and character references, passes over the declaration, comments
// and processing instructions, and refuses a DOCTYPE, which would bring
// entities of the file's own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::powder {

struct XmlElement {
  std::string name;  // the local name, without a namespace prefix
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;        // the character data directly inside it
  std::size_t parent = 0;  // index of the enclosing element; the root's is its own, 0
  std::size_t line = 0;    // the line of its start tag

  // The attribute's value, or empty.
  std::string attribute(std::string_view key) const;
};

// The elements of the document, the root first; ends the run naming the file
// (name) and the line of the first thing that is not well-formed XML.
std::vector<XmlElement> xml_elements(std::string_view text, const std::string& name);

// The name of the root element, or empty when the text does not start as an
// XML document (after a byte-order mark, the declaration and comments).
std::string xml_root_name(std::string_view text);

}  // namespace velmora::powder
