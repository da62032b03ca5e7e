#include "service/answer_parsers.h"

#include <string_view>

#include "base/gbk_text.h"
#include "service/xml_text.h"

namespace kivo {

namespace {

constexpr std::string_view kNickKey = "\"nick\":\"";
constexpr std::string_view kDefaultKey = "\"default\":\"";
constexpr std::string_view kAlbumHostKey = "\"p\":\"";
constexpr std::string_view kPhotoHostKey = "\"s\":\"";

int Length(std::string_view key) {
  return static_cast<int>(key.size());
}

// The text behind the key found at key_pos up to the next double quote, whose position
// goes to quote. key_pos may be -1.
std::string TextToQuote(const std::string& text, int key_pos, std::string_view key, int& quote) {
  const int value = key_pos + Length(key);
  quote = FindText(text, "\"", value);
  return CutText(text, value, quote - value);
}

// A fresh record per element: a missing element gives an empty text or 0, never the
// value of the album before.
AlbumInfo ReadAlbum(const TiXmlElement& album) {
  AlbumInfo info;
  info.createtime = ChildText(album, "createtime");
  info.modifytime = ChildText(album, "modifytime");
  info.lastuploadtime = ChildText(album, "lastuploadtime");
  info.id = ChildText(album, "id");
  info.name = TrimBlanks(ChildText(album, "name"));
  info.pre = ChildText(album, "pre");
  info.priv = ReadDecimal(ChildText(album, "priv"));
  info.question = TrimBlanks(ChildText(album, "question"));
  info.total = ReadDecimal(ChildText(album, "total"));
  return info;
}

PhotoInfo ReadPhoto(const TiXmlElement& pic) {
  PhotoInfo info;
  info.name = TrimBlanks(ChildText(pic, "name"));
  info.pre = ChildText(pic, "pre");
  info.origin_url = ChildText(pic, "origin_url");
  return info;
}

}  // namespace

bool ParseNickname(const std::string& card, std::string& nickname) {
  const int key = FindText(card, kNickKey, 0);
  if (key == -1)
    return false;
  const int value = key + Length(kNickKey);
  // The end is searched after the key, so string members before it do not end it early.
  const int end = FindText(card, "\",", value);
  if (end == -1)
    return false;
  nickname = CutText(card, value, end - value);
  return true;
}

void ParseRoute(const std::string& route, std::string& album_host, std::string& photo_host) {
  // No position is checked: a missing key gives a meaningless or empty host, and the
  // requests on that host then fail. The group's name is taken where it first stands
  // after the default member, normally as the key of the group.
  int quote = 0;
  const std::string group = TextToQuote(route, FindText(route, kDefaultKey, 0), kDefaultKey, quote);
  const int p = FindText(route, kAlbumHostKey, FindText(route, group, quote));
  album_host = TextToQuote(route, p, kAlbumHostKey, quote);
  const int s = FindText(route, kPhotoHostKey, p);
  photo_host = TextToQuote(route, s, kPhotoHostKey, quote);
}

bool HasAlbums(const std::string& album_list) {
  TiXmlDocument doc;
  const TiXmlElement* root = ParseDocument(doc, album_list);
  return root && root->FirstChildElement("album");
}

bool ParseAlbumList(const std::string& album_list, std::vector<AlbumInfo>& albums) {
  albums.clear();
  TiXmlDocument doc;
  const TiXmlElement* root = ParseDocument(doc, album_list);
  if (!root)
    return false;
  for (const TiXmlElement* album = root->FirstChildElement("album");
       album && albums.size() < kMaxListRecords; album = album->NextSiblingElement("album"))
    albums.push_back(ReadAlbum(*album));
  return true;
}

}  // namespace kivo

bool ParsePhotoList(std::vector<PhotoInfo>& photos, const std::string& text) {
  photos.clear();
  TiXmlDocument doc;
  const TiXmlElement* root = kivo::ParseDocument(doc, text);
  if (!root)
    return false;
  for (const TiXmlElement* pic = root->FirstChildElement("pic");
       pic && photos.size() < kivo::kMaxListRecords; pic = pic->NextSiblingElement("pic"))
    photos.push_back(kivo::ReadPhoto(*pic));
  return true;
}
