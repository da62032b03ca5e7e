// Addresses of the service's plain read requests. The numbers in the queries are fixed
// text the service expects unchanged; the arguments go in as they are, unencoded.
#pragma once

#include <string>

namespace kivo {

std::string MemberCardUrl(const std::string& uin);
std::string RouteUrl(const std::string& uin);
std::string AlbumListUrl(const std::string& album_host, const std::string& uin);
std::string PhotoListUrl(const std::string& photo_host, const std::string& uin,
                         const std::string& album_id);
// The member's space home page, which the login browser opens: the account is a sub-domain
// of the space service's domain.
std::string SpaceUrl(const std::string& uin);

// The login server's verification picture; the cookie it sets ties it to the next view request.
std::string VerifyPictureUrl();

// The protected album's view request. question and answer go in already encoded; the code
// goes in as typed (bytes that would break the query escaped), and only withCode adds it.
std::string AlbumViewUrl(const std::string& uin, const std::string& album_id, bool withCode,
                         const std::string& verify_code, const std::string& question,
                         const std::string& answer);

}  // namespace kivo
