#include "service/album_info.h"

std::vector<AlbumInfo> g_albums;
