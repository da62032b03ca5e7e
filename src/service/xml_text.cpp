#include "service/xml_text.h"

#include <vector>

namespace kivo {

const TiXmlElement* ParseDocument(TiXmlDocument& doc, const std::string& text) {
  // When a UTF-8 document ends inside a multibyte sequence, TinyXML steps over the
  // terminating zero by up to three bytes and reads on from there. The zero bytes behind
  // the copy keep every such read inside the buffer and end the parse as the text ends.
  constexpr std::size_t kGuard = 8;
  std::vector<char> guarded(text.size() + kGuard, '\0');
  text.copy(guarded.data(), text.size());
  doc.Parse(guarded.data());
  return doc.RootElement();
}

std::string ChildText(const TiXmlElement& parent, const char* name) {
  const TiXmlElement* child = parent.FirstChildElement(name);
  const char* text = child ? child->GetText() : nullptr;
  return text ? text : "";
}

}  // namespace kivo
