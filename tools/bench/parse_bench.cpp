// How long the answer parsers take on hostile answers up to the fetch's text cap, beside
// a well-formed album list of the same size.
//
//   parse_bench [MEBIBYTES] [REPETITIONS] [CASE]
//
// MEBIBYTES: size of each answer (default 16, the text cap). Prints two lines per case, the
// album list read into records, and the document parsed alone (ALBUMS is then 1 when the
// root has an album child):
//   RESULT CASE records|document BYTES MEDIAN_SECONDS MIN_SECONDS MAX_SECONDS ALBUMS
// Build it optimised (a sanitizer build measures the sanitizer).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "service/answer_parsers.h"

namespace {

// Distinct attribute names of one element, at least `length` bytes long, all sharing
// their first bytes so that each name comparison reads the whole name.
std::string AttributeName(std::size_t i, std::size_t length) {
  std::string digits = std::to_string(i);
  std::string name = "a";
  if (length > digits.size() + 1)
    name.append(length - digits.size() - 1, 'x');
  return name + digits;
}

// `<data><album n0="" n1="" ...>` repeated: `per_element` attributes per album, or one
// album holding them all when per_element is 0.
std::string AttributeAnswer(std::size_t bytes, std::size_t per_element, std::size_t name_length) {
  std::string text = "<data>";
  text.reserve(bytes + 4096);
  while (text.size() < bytes) {
    text += "<album";
    for (std::size_t i = 0; (per_element == 0 || i < per_element) && text.size() < bytes; ++i)
      text += " " + AttributeName(i, name_length) + "=\"\"";
    text += "><id>1</id></album>";
  }
  return text + "</data>";
}

std::string AlbumsAnswer(std::size_t bytes) {
  std::string text = "<?xml version=\"1.0\" encoding=\"GBK\"?><data><ret>0</ret>";
  text.reserve(bytes + 4096);
  for (int n = 1; text.size() < bytes; ++n) {
    std::string id = std::to_string(n);
    text += "<album><createtime>1240389711</createtime><modifytime>1240389711</modifytime>"
            "<lastuploadtime>1240389711</lastuploadtime><id>" + id + "</id><name>album &amp; " + id +
            "</name><pre>http://photo.kivo.test/480215937/" + id + "/cover.jpg</pre><priv>1</priv>"
            "<question></question><total>12</total></album>";
  }
  return text + "</data>";
}

std::string Repeat(const std::string& head, const std::string& unit, const std::string& tail, std::size_t bytes) {
  std::string text = head;
  text.reserve(bytes + unit.size() + tail.size());
  while (text.size() < bytes)
    text += unit;
  return text + tail;
}

// Nested to just inside the depth limit (64), again and again.
std::string DeepAnswer(std::size_t bytes) {
  std::string open, close;
  for (int i = 0; i < 60; ++i) {
    open += "<a>";
    close = "</a>" + close;
  }
  return Repeat("<data>", "<album>" + open + close + "</album>", "</data>", bytes);
}

struct Case {
  const char* name;
  std::string (*make)(std::size_t bytes);
};

const Case kCases[] = {
    {"albums", AlbumsAnswer},
    {"one-element-attributes", [](std::size_t b) { return AttributeAnswer(b, 0, 1); }},
    {"elements-at-attribute-cap", [](std::size_t b) { return AttributeAnswer(b, 32, 1); }},
    {"long-names-at-attribute-cap", [](std::size_t b) { return AttributeAnswer(b, 32, 64); }},
    {"elements-past-attribute-cap", [](std::size_t b) { return AttributeAnswer(b, 33, 1); }},
    {"empty-elements", [](std::size_t b) { return Repeat("<data>", "<album/>", "</data>", b); }},
    {"deep-nesting", DeepAnswer},
    {"entities", [](std::size_t b) { return Repeat("<data><album><name>", "&amp;&lt;&#x4E2D;", "</name></album></data>", b); }},
    {"comments", [](std::size_t b) { return Repeat("<data>", "<!-- c --><album><id>1</id></album>", "</data>", b); }},
};

// The album list's parse, records and all, or (records false) the document alone.
double Seconds(const std::string& text, bool records, std::size_t& albums) {
  std::vector<AlbumInfo> parsed;
  auto start = std::chrono::steady_clock::now();
  if (records)
    kivo::ParseAlbumList(text, parsed);
  else
    albums = kivo::HasAlbums(text);
  auto end = std::chrono::steady_clock::now();
  if (records)
    albums = parsed.size();
  return std::chrono::duration<double>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  double mebibytes = argc > 1 ? std::atof(argv[1]) : 16;
  int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const char* only = argc > 3 ? argv[3] : nullptr;
  std::size_t bytes = static_cast<std::size_t>(mebibytes * 1048576);
  for (const Case& c : kCases) {
    if (only && std::strcmp(only, c.name) != 0)
      continue;
    std::string text = c.make(bytes);
    for (bool records : {true, false}) {
      std::vector<double> seconds;
      std::size_t albums = 0;
      for (int r = 0; r < repetitions; ++r)
        seconds.push_back(Seconds(text, records, albums));
      std::sort(seconds.begin(), seconds.end());
      std::size_t n = seconds.size();
      double median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
      std::printf("RESULT %-28s %-8s %9zu %8.3f %8.3f %8.3f %zu\n", c.name, records ? "records" : "document",
                  text.size(), median, seconds.front(), seconds.back(), albums);
      std::fflush(stdout);
    }
  }
  return 0;
}
