// What the configuration and the log share of libxml2's trees.
#pragma once

#include <libxml/tree.h>

#include <string_view>

namespace zelvo {

// The first child element of `parent` named `name`, or null (also for a
// null parent).
inline xmlNode* FirstChildElement(xmlNode* parent, std::string_view name) {
  if (parent == nullptr) return nullptr;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(child->name)) {
      return child;
    }
  }
  return nullptr;
}

}  // namespace zelvo
