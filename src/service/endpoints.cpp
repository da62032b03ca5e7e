#include "service/endpoints.h"

#include "build_config.h"

namespace kivo {

std::string MemberCardUrl(const std::string& uin) {
  return std::string("http://") + config::kMemberCardHost +
         "/fcg-bin/cgi_personalcard.fcg?uin=" + uin + "&p=1&_=1240389711757";
}

std::string RouteUrl(const std::string& uin) {
  return std::string("http://") + config::kRouteHost + "/GetRoute?UIN=" + uin +
         "&type=json&version=2";
}

std::string AlbumListUrl(const std::string& album_host, const std::string& uin) {
  return "http://" + album_host + "/fcgi-bin/fcg_list_album?uin=" + uin +
         "&outstyle=1&t=0.5981097097731758";
}

std::string PhotoListUrl(const std::string& photo_host, const std::string& uin,
                         const std::string& album_id) {
  return "http://" + photo_host + "/fcgi-bin/fcg_list_photo?uin=" + uin +
         "&albumid=" + album_id + "&outstyle=1";
}

std::string SpaceUrl(const std::string& uin) {
  return "http://" + uin + "." + config::kSpaceDomain;
}

}  // namespace kivo
