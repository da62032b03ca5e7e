// The service's plain read requests. They send no credentials of their own: they count on
// the cookies the member's login left in the cookie store shared with the browser.
#pragma once

#include <string>
#include <vector>

#include "service/album_info.h"

// Fetches the member card; true when it held the nickname, which is then stored. On false
// nickname is untouched.
bool GetNickname(const std::string& uin, std::string& nickname);

// Asks the route server for the album-list and photo-list hosts (both emptied first), then
// fetches the album list once from the album host: true when it has an album.
bool LookupRoute(const std::string& uin, std::string& album_host, std::string& photo_host);

// Empties g_albums and fills it from the album list; true when the answer had a root element.
bool ListAlbums(const std::string& album_host, const std::string& uin);

// Empties photos and fills it from the album's photo list; true when the answer had a root
// element.
bool ListPhotos(std::vector<PhotoInfo>& photos, const std::string& photo_host,
                const std::string& uin, const std::string& album_id);
