// The records the service's lists are parsed into, with the service's element names as
// field names. Texts are the answer's bytes as they came (GBK).
#pragma once

#include <string>
#include <vector>

struct AlbumInfo {
  std::string createtime;
  std::string modifytime;
  std::string lastuploadtime;
  std::string id;
  std::string name;      // trimmed
  std::string pre;       // cover picture address
  int priv = 0;
  std::string question;  // trimmed; not empty marks a protected album
  int total = 0;         // number of photos
};

struct PhotoInfo {
  std::string name;  // trimmed
  std::string pre;   // small picture, the fallback when the full-size fetch fails
  std::string origin_url;
};

// The albums of the last listing, in list order: list item i stands for element i.
extern std::vector<AlbumInfo> g_albums;
