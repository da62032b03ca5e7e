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

std::string VerifyPictureUrl() {
  return std::string("http://") + config::kLoginHost + "/getimage?aid=15000501&0.7421052063500946";
}

std::string AlbumViewUrl(const std::string& uin, const std::string& album_id, bool withCode,
                         const std::string& verify_code, const std::string& question,
                         const std::string& answer) {
  std::string url = std::string("http://") + config::kAlbumViewHost +
                    "/cgi-bin/common/cgi_view_album?uin=" + uin + "&albumid=" + album_id +
                    "&t=0.02748987557173027";
  if (withCode)
    url += "&verifycode=" + verify_code;
  return url + "&question=" + question + "&answer=" + answer + "&output_type=1&refer=pavo";
}

}  // namespace kivo
