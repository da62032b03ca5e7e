// The update page: an article whose body carries, HTML-escaped, a small XML document that
// lists programs with their newest version and download address. Reading it is portable;
// the page itself comes through HttpGetText.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

// This program's entry of the update document. Fields stay as the caller gave them when
// the entry lacks the element.
struct UpdateInfo {
  std::string name;      // as spelled in the document, trimmed
  std::string version;   // trimmed
  std::string downurl;   // trimmed, entities decoded
  int compressed = 0;    // read, never acted on
};

// The document inside the page: the text between the end of the tag that carries
// "blog_text" and the next "</div>", with "<br>", "&lt;" and "&gt;" decoded (other
// references are the XML parser's). False when a marker is missing.
bool CutUpdateDocument(std::string_view page, std::string& document);

// Finds the first entry (a <soft> child of the root) whose trimmed <name> is this
// product's name, case ignored, and fills info from it. False, info untouched, when the
// document does not parse or has no such entry.
bool ReadUpdateEntry(const std::string& document, UpdateInfo& info);

// The page at url, cut and read as above: 1 when info was filled, else 0.
int FetchUpdateInfo(const std::string& url, UpdateInfo& info);

// Any version text other than this program's own, byte for byte, counts as newer: the
// page names what users should run, so even an older version is offered.
bool IsOtherVersion(std::string_view version);

// The name the new program takes beside the old one: name, version and ".exe", joined.
std::string NewProgramFileName(const UpdateInfo& info);

}  // namespace kivo
