#include "service/xml_text.h"

namespace kivo {

const TiXmlElement* ParseDocument(TiXmlDocument& doc, const std::string& text) {
  doc.Parse(text.c_str());
  return doc.RootElement();
}

std::string ChildText(const TiXmlElement& parent, const char* name) {
  const TiXmlElement* child = parent.FirstChildElement(name);
  const char* text = child ? child->GetText() : nullptr;
  return text ? text : "";
}

}  // namespace kivo
