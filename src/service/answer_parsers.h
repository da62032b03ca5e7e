// Parsers of the service's answers. Each takes the answer as HttpGetText left it; a failed
// request reaches them as an empty (or cut-off) text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "service/album_info.h"

namespace kivo {

// Member card: the text between "nick":" and the next quote that a comma follows, raw
// (not unescaped). On false nickname is left as it was.
bool ParseNickname(const std::string& card, std::string& nickname);

// Route answer: the "default" member names a group holding the album-list host (p) and
// the photo-list host (s). Both hosts are always overwritten.
void ParseRoute(const std::string& route, std::string& album_host, std::string& photo_host);

// True when the album list's root element has at least one album child.
bool HasAlbums(const std::string& album_list);

// The most records a list gives. A 16 MiB answer of empty elements would otherwise make two
// million of them: more memory than a 32-bit process has, and a listing without end.
constexpr std::size_t kMaxListRecords = 100000;

// Replaces albums by the root's album children, the first kMaxListRecords at most; true when
// the answer had a root element.
bool ParseAlbumList(const std::string& album_list, std::vector<AlbumInfo>& albums);

}  // namespace kivo

// Replaces photos by the root's pic children, the first kivo::kMaxListRecords at most; true
// when the answer had a root element.
// Also reads the photo list that comes with a protected album's view answer.
bool ParsePhotoList(std::vector<PhotoInfo>& photos, const std::string& text);
