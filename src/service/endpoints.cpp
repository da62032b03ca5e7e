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

std::string VerifyPictureUrl() {
  return std::string("http://") + config::kLoginHost + "/getimage?aid=15000501&0.7421052063500946";
}

namespace {

// A typed text as one query value: letters, digits and -._~ as they are, every other byte
// escaped, so that a stray "&" or "#" cannot end the value or add a parameter.
std::string QueryValue(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string AlbumViewUrl(const std::string& uin, const std::string& album_id, bool withCode,
                         const std::string& verify_code, const std::string& question,
                         const std::string& answer) {
  std::string url = std::string("http://") + config::kAlbumViewHost +
                    "/cgi-bin/common/cgi_view_album?uin=" + uin + "&albumid=" + album_id +
                    "&t=0.02748987557173027";
  if (withCode)
    url += "&verifycode=" + QueryValue(verify_code);
  return url + "&question=" + question + "&answer=" + answer + "&output_type=1&refer=pavo";
}

}  // namespace kivo
