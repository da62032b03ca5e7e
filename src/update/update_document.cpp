#include "update/update_document.h"

#include "base/gbk_text.h"
#include "base/product.h"
#include "service/http_fetch.h"
#include "service/xml_text.h"

namespace kivo {

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
    out.append(text, pos, hit - pos);
    out.append(to);
  }
  out.append(text, pos, std::string::npos);
  text.swap(out);
}

// The text of parent's first child called name; false when there is no such child.
bool FirstChildText(const TiXmlElement& parent, const char* name, std::string& text) {
  if (!parent.FirstChildElement(name))
    return false;
  text = ChildText(parent, name);
  return true;
}

}  // namespace

bool CutUpdateDocument(std::string_view page, std::string& document) {
  const int marker = FindText(page, "blog_text", 0);
  const int tagEnd = FindText(page, ">", marker);
  const int close = FindText(page, "</div>", tagEnd);
  if (marker == -1 || tagEnd == -1 || close == -1)
    return false;
  std::string text = CutText(page, tagEnd + 1, close - tagEnd - 1);
  // In this order: an escaped "&lt;br&gt;" is an element of the document, not a line break.
  ReplaceAll(text, "<br>", "\n");
  ReplaceAll(text, "&lt;", "<");
  ReplaceAll(text, "&gt;", ">");
  document.swap(text);
  return true;
}

bool ReadUpdateEntry(const std::string& document, UpdateInfo& info) {
  TiXmlDocument doc;
  const TiXmlElement* root = ParseDocument(doc, document);
  if (!root)
    return false;
  for (const TiXmlElement* soft = root->FirstChildElement("soft"); soft;
       soft = soft->NextSiblingElement("soft")) {
    std::string name;
    if (!FirstChildText(*soft, "name", name))
      continue;
    name = TrimBlanks(name);
    if (!EqualsNoCase(name, kProductName))
      continue;
    info.name = name;
    std::string text;
    if (FirstChildText(*soft, "version", text))
      info.version = TrimBlanks(text);
    if (FirstChildText(*soft, "downurl", text))
      info.downurl = TrimBlanks(text);
    if (FirstChildText(*soft, "compressed", text))
      info.compressed = ReadDecimal(text);
    return true;
  }
  return false;
}

int FetchUpdateInfo(const std::string& url, UpdateInfo& info) {
  std::string page;
  HttpGetText(url, page);
  std::string document;
  if (!CutUpdateDocument(page, document))
    return 0;
  return ReadUpdateEntry(document, info) ? 1 : 0;
}

bool IsOtherVersion(std::string_view version) {
  return version != kProgramVersion;
}

std::string NewProgramFileName(const UpdateInfo& info) {
  return info.name + info.version + ".exe";
}

}  // namespace kivo
