#include "service/album_service.h"

#include <gtest/gtest.h>

#include "build_config.h"
#include "fake_http.h"

namespace kivo {
namespace {

using test::FakeHttp;

const std::string kUin = "480215937";
const std::string kCardUrl = std::string("http://") + config::kMemberCardHost +
                             "/fcg-bin/cgi_personalcard.fcg?uin=480215937&p=1&_=1240389711757";
const std::string kRouteUrl =
    std::string("http://") + config::kRouteHost + "/GetRoute?UIN=480215937&type=json&version=2";
const std::string kAlbumListUrl =
    "http://alist.kivo.test/fcgi-bin/fcg_list_album?uin=480215937&outstyle=1&t=0.5981097097731758";
const std::string kRoute =
    R"({"default":"4","4":{"p":"alist.kivo.test","s":"plist.kivo.test"}})";
const std::string kAlbums =
    "<data><album><id>V1</id><name>相册一</name><total>2</total></album>"
    "<album><id>V2</id><name>相册二</name></album></data>";

class Requests : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeHttp::Reset();
    g_albums.clear();
  }
  void TearDown() override { g_albums.clear(); }

  static void Serve(const std::string& url, const std::string& body,
                    std::uint32_t status = 200) {
    FakeHttp::answers[url] = {body, status};
  }
};

TEST_F(Requests, NicknameFromTheMemberCard) {
  Serve(kCardUrl, "{\"uin\":480215937,\r\n\"nick\":\"小明\",\"sex\":1}");
  std::string nickname;
  EXPECT_TRUE(GetNickname(kUin, nickname));
  EXPECT_EQ("小明", nickname);
  EXPECT_EQ(std::vector<std::string>{kCardUrl}, FakeHttp::requests);
}

TEST_F(Requests, NicknameIsUntouchedWhenTheCardHasNone) {
  struct Case { const char* body; std::uint32_t status; } cases[] = {
      {"", FETCH_FAILED},                     // no answer at all
      {"{\"nick\":\"小明\",\"x\":1}", 404},     // body of a failed status is not read
      {"{\"nick\":\"小", FETCH_FAILED},        // connection broke inside the value
      {"{\"uin\":480215937}", 200},
  };
  for (const Case& c : cases) {
    FakeHttp::Reset();
    Serve(kCardUrl, c.body, c.status);
    std::string nickname = "old";
    EXPECT_FALSE(GetNickname(kUin, nickname)) << c.body;
    EXPECT_EQ("old", nickname) << c.body;
  }
}

TEST_F(Requests, ListingAsksRouteThenProbesAndFetchesTheAlbumList) {
  Serve(kRouteUrl, kRoute);
  Serve(kAlbumListUrl, kAlbums);
  std::string album_host = "old", photo_host = "old";
  EXPECT_TRUE(LookupRoute(kUin, album_host, photo_host));
  EXPECT_EQ("alist.kivo.test", album_host);
  EXPECT_EQ("plist.kivo.test", photo_host);
  EXPECT_TRUE(g_albums.empty());  // the probe fills nothing

  EXPECT_TRUE(ListAlbums(album_host, kUin));
  ASSERT_EQ(2u, g_albums.size());
  EXPECT_EQ("V1", g_albums[0].id);
  EXPECT_EQ("相册一", g_albums[0].name);
  EXPECT_EQ(2, g_albums[0].total);
  EXPECT_EQ("V2", g_albums[1].id);
  EXPECT_EQ((std::vector<std::string>{kRouteUrl, kAlbumListUrl, kAlbumListUrl}), FakeHttp::requests);
}

TEST_F(Requests, RouteIsFalseWhenTheAlbumHostHasNoAlbums) {
  Serve(kRouteUrl, kRoute);
  Serve(kAlbumListUrl, "<data><count>0</count></data>");
  std::string album_host, photo_host;
  EXPECT_FALSE(LookupRoute(kUin, album_host, photo_host));
  EXPECT_EQ("alist.kivo.test", album_host);
  EXPECT_EQ("plist.kivo.test", photo_host);
}

TEST_F(Requests, FailedRouteEmptiesBothHostsAndStillProbes) {
  std::string album_host = "old", photo_host = "old";
  EXPECT_FALSE(LookupRoute(kUin, album_host, photo_host));
  EXPECT_EQ("", album_host);
  EXPECT_EQ("", photo_host);
  EXPECT_EQ((std::vector<std::string>{
                kRouteUrl,
                "http:///fcgi-bin/fcg_list_album?uin=480215937&outstyle=1&t=0.5981097097731758"}),
            FakeHttp::requests);
}

TEST_F(Requests, FailedAlbumListEmptiesTheAlbums) {
  g_albums.resize(3);
  EXPECT_FALSE(ListAlbums("alist.kivo.test", kUin));
  EXPECT_TRUE(g_albums.empty());

  Serve(kAlbumListUrl, "Service busy, try again later.");
  g_albums.resize(3);
  EXPECT_FALSE(ListAlbums("alist.kivo.test", kUin));
  EXPECT_TRUE(g_albums.empty());
}

TEST_F(Requests, PhotosOfOneAlbum) {
  // The album id goes into the query as it is, unencoded.
  const std::string url =
      "http://plist.kivo.test/fcgi-bin/fcg_list_photo?uin=480215937&albumid=V1 a%&outstyle=1";
  Serve(url, "<data><pic><name>海边</name><pre>http://p/1s.jpg</pre>"
             "<origin_url>http://p/1.jpg</origin_url></pic></data>");
  std::vector<PhotoInfo> photos(4);
  EXPECT_TRUE(ListPhotos(photos, "plist.kivo.test", kUin, "V1 a%"));
  ASSERT_EQ(1u, photos.size());
  EXPECT_EQ("海边", photos[0].name);
  EXPECT_EQ("http://p/1s.jpg", photos[0].pre);
  EXPECT_EQ("http://p/1.jpg", photos[0].origin_url);
  EXPECT_EQ(std::vector<std::string>{url}, FakeHttp::requests);
}

TEST_F(Requests, PhotoListCutOffByABrokenConnectionKeepsTheWholePics) {
  const std::string url =
      "http://plist.kivo.test/fcgi-bin/fcg_list_photo?uin=480215937&albumid=V1&outstyle=1";
  Serve(url, "<data><pic><origin_url>http://p/1.jpg</origin_url></pic><pic><orig", FETCH_FAILED);
  std::vector<PhotoInfo> photos;
  EXPECT_TRUE(ListPhotos(photos, "plist.kivo.test", kUin, "V1"));
  ASSERT_EQ(2u, photos.size());
  EXPECT_EQ("http://p/1.jpg", photos[0].origin_url);
  EXPECT_EQ("", photos[1].origin_url);

  FakeHttp::Reset();
  photos.resize(2);
  EXPECT_FALSE(ListPhotos(photos, "plist.kivo.test", kUin, "V1"));
  EXPECT_TRUE(photos.empty());
}

}  // namespace
}  // namespace kivo
