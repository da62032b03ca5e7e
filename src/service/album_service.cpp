#include "service/album_service.h"

#include "service/answer_parsers.h"
#include "service/endpoints.h"
#include "service/http_fetch.h"

// A failed request leaves its text empty (or cut off), and the parsers take it from
// there, so the statuses are not looked at.

bool GetNickname(const std::string& uin, std::string& nickname) {
  std::string card;
  HttpGetText(kivo::MemberCardUrl(uin), card);
  return kivo::ParseNickname(card, nickname);
}

bool LookupRoute(const std::string& uin, std::string& album_host, std::string& photo_host) {
  album_host.clear();
  photo_host.clear();
  std::string route;
  HttpGetText(kivo::RouteUrl(uin), route);
  kivo::ParseRoute(route, album_host, photo_host);

  std::string probe;
  HttpGetText(kivo::AlbumListUrl(album_host, uin), probe);
  return kivo::HasAlbums(probe);
}

bool ListAlbums(const std::string& album_host, const std::string& uin) {
  g_albums.clear();
  std::string list;
  HttpGetText(kivo::AlbumListUrl(album_host, uin), list);
  return kivo::ParseAlbumList(list, g_albums);
}

bool ListPhotos(std::vector<PhotoInfo>& photos, const std::string& photo_host,
                const std::string& uin, const std::string& album_id) {
  photos.clear();
  std::string list;
  HttpGetText(kivo::PhotoListUrl(photo_host, uin, album_id), list);
  return ParsePhotoList(photos, list);
}
