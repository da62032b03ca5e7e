// Reading the service's XML answers the way TinyXML sees them.
#pragma once

#include <string>

#include "tinyxml.h"

namespace kivo {

// Parses text with the library's own encoding detection. Returns the root element, or
// null when there is none (empty answer, not XML); what was parsed before an error counts.
const TiXmlElement* ParseDocument(TiXmlDocument& doc, const std::string& text);

// Text of parent's first child element called name, entities decoded; empty when there is
// no such child or its first node is not text.
std::string ChildText(const TiXmlElement& parent, const char* name);

}  // namespace kivo
