// The service's requests and parsers over the real fetch, against the demo member.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch_support.h"
#include "service/album_info.h"
#include "service/album_service.h"
#include "service/http_fetch.h"

#include <wininet.h>

namespace {

using namespace fetchtest;

const char kUin[] = "480215937";

TEST(ServiceOverFetch, ListsTheDemoMembersAlbumsAndPhotos) {
  std::string nickname = "untouched";
  ASSERT_TRUE(GetNickname(kUin, nickname));
  EXPECT_EQ("小明", nickname);

  std::string album_host = "x", photo_host = "y";
  EXPECT_TRUE(LookupRoute(kUin, album_host, photo_host));
  EXPECT_EQ("a4.kivo.test", album_host);
  EXPECT_EQ("p4.kivo.test", photo_host);

  ASSERT_TRUE(ListAlbums(album_host, kUin));
  std::vector<std::string> names;
  std::vector<int> totals;
  for (const AlbumInfo& album : g_albums) {
    names.push_back(album.name);
    totals.push_back(album.total);
  }
  EXPECT_EQ((std::vector<std::string>{"西湖春游", "毕业照", "家里的猫 & 狗", "2009 北京之旅", "空相册"}), names);
  EXPECT_EQ((std::vector<int>{4, 3, 2, 5, 0}), totals);
  ASSERT_FALSE(g_albums.empty());
  EXPECT_EQ("1", g_albums[0].id);

  std::vector<PhotoInfo> photos(1);
  ASSERT_TRUE(ListPhotos(photos, photo_host, kUin, g_albums[0].id));
  std::vector<std::string> photo_names;
  for (const PhotoInfo& photo : photos)
    photo_names.push_back(photo.name);
  EXPECT_EQ((std::vector<std::string>{"断桥残雪", "苏堤春晓", "雷峰夕照", "三潭印月"}), photo_names);

  ASSERT_TRUE(ListPhotos(photos, photo_host, kUin, g_albums[4].id));
  EXPECT_TRUE(photos.empty());
}

TEST(ServiceOverFetch, PhotoFilesAreWhatTheServiceServed) {
  std::string album_host, photo_host;
  LookupRoute(kUin, album_host, photo_host);
  std::vector<PhotoInfo> photos;
  ListPhotos(photos, photo_host, kUin, "1");
  ASSERT_EQ(4u, photos.size());

  std::string folder = TestFolder("photos");
  int n = 0;
  for (const PhotoInfo& photo : photos) {
    for (const std::string& url : {photo.origin_url, photo.pre}) {
      SCOPED_TRACE(url);
      std::string served = ServedContent(url);
      ASSERT_GT(served.size(), 1000u);
      std::string path = folder + std::to_string(++n) + ".jpg";
      EXPECT_EQ(200u, HttpGetFile(url, path));
      EXPECT_TRUE(ReadFileBytes(path) == served);
    }
  }
}

// A member whose space asks for a login shows his lists only to a logged-in visitor. The
// login browser leaves its cookie in the process's store; a cookie put there by other code
// of the process must reach the fetch's own sessions just the same.
TEST(ServiceOverFetch, ListsOfALoginMemberNeedTheCookieThatTheStoreShares) {
  const char uin[] = "100001";
  std::string album_host, photo_host;
  LookupRoute(uin, album_host, photo_host);
  ASSERT_EQ("a7.kivo.test", album_host);
  std::vector<PhotoInfo> photos;

  ListAlbums(album_host, uin);
  EXPECT_TRUE(g_albums.empty()) << "listed without a login";
  ListPhotos(photos, photo_host, uin, "21");
  EXPECT_TRUE(photos.empty());

  ASSERT_TRUE(::InternetSetCookieA("http://a7.kivo.test/", "kivo_login", "100001; domain=.kivo.test; path=/"));
  ListAlbums(album_host, uin);
  EXPECT_EQ(2u, g_albums.size());
  ListPhotos(photos, photo_host, uin, "21");
  EXPECT_EQ(2u, photos.size());
}

}  // namespace
