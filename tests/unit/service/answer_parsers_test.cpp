#include "service/answer_parsers.h"

#include <climits>
#include <gtest/gtest.h>

// Literals are GBK bytes at run time. "癨" is B0 5C and "癆" is B0 41: their second byte
// reads as a backslash and as 'A' to code that walks bytes instead of characters.

namespace kivo {
namespace {

// An album list as the service writes it: declared GBK, one album per element.
std::string AlbumList(const std::string& albums) {
  return "<?xml version=\"1.0\" encoding=\"GBK\"?><data>" + albums + "</data>";
}

std::string PhotoList(const std::string& pics) {
  return "<?xml version=\"1.0\" encoding=\"GBK\"?><data>" + pics + "</data>";
}

TEST(MemberCard, NicknameIsTheRawTextUpToTheNextQuoteAndComma) {
  struct Case { const char* card; bool found; const char* nickname; } cases[] = {
      {R"({"uin":480215937,"nick":"小明","sex":1})", true, "小明"},
      // A quote and comma before the key do not end the value early.
      {R"({"name":"a","city":"b","nick":"小明","x":1})", true, "小明"},
      {R"({"nick":"","x":1})", true, ""},
      {R"({"nick":"a\"b\u0041","x":1})", true, R"(a\"b\u0041)"},
      {R"({"nick":"癨癆","x":1})", true, "癨癆"},
      {R"({"x":1,"nick":"小明"})", false, ""},  // last member: no quote and comma after it
      {R"({"name":"小明","x":1})", false, ""},
      {R"({"x":1,"nick":")", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    std::string nickname = "before";
    EXPECT_EQ(c.found, ParseNickname(c.card, nickname)) << c.card;
    EXPECT_EQ(c.found ? c.nickname : "before", nickname) << c.card;
  }
}

TEST(Route, HostsComeFromTheGroupTheDefaultNames) {
  struct Case { const char* route; const char* album_host; const char* photo_host; } cases[] = {
      {R"({"default":"4","4":{"p":"p4.kivo.test","s":"s4.kivo.test"}})", "p4.kivo.test", "s4.kivo.test"},
      // Groups before the default member are not taken.
      {R"({"3":{"p":"p3","s":"s3"},"default":"4","4":{"p":"p4","s":"s4"}})", "p4", "s4"},
      // The first 4 after the default member wins, wherever it stands.
      {R"({"default":"4","ver":"14","5":{"p":"p5","s":"s5"},"4":{"p":"p4","s":"s4"}})", "p5", "s5"},
      // s is searched after p.
      {R"({"default":"4","4":{"s":"s4","p":"p4"},"5":{"p":"p5","s":"s5"}})", "p4", "s5"},
      // "癆1" holds the bytes of "A1" from its second byte on: no match there.
      {R"({"default":"A1","x":{"n":"癆1","p":"px","s":"sx"},"A1":{"p":"pa","s":"sa"}})", "pa", "sa"},
      {R"({"default":"","4":{"p":"p4","s":"s4"}})", "p4", "s4"},
      {"", "", ""},
      // Positions are not checked for -1: without a default member the hosts are cut
      // from position 4 up to the next quote, and the requests on them fail.
      {R"({"4":{"p":"p4","s":"s4"}})", ":{", ":{"},
  };
  for (const Case& c : cases) {
    std::string album_host = "old", photo_host = "old";
    ParseRoute(c.route, album_host, photo_host);
    EXPECT_EQ(c.album_host, album_host) << c.route;
    EXPECT_EQ(c.photo_host, photo_host) << c.route;
  }
}

TEST(AlbumList, ReadsEveryFieldAndGivesMissingElementsNoValue) {
  const std::string list = AlbumList(
      "<album><createtime>2009-04-01 10:00:00</createtime><modifytime>2009-04-02</modifytime>"
      "<lastuploadtime>2009-04-03</lastuploadtime><id>V13abc</id><name>旅行 癨癆</name>"
      "<pre>http://p.kivo.test/c1.jpg</pre><priv>1</priv><question>我的名字?</question>"
      "<total>12</total></album>"
      // Only id and name: nothing may be left over from the album before.
      "<album><id>V13def</id><name>家</name></album>");
  std::vector<AlbumInfo> albums;
  ASSERT_TRUE(ParseAlbumList(list, albums));
  ASSERT_EQ(2u, albums.size());

  const AlbumInfo& full = albums[0];
  EXPECT_EQ("2009-04-01 10:00:00", full.createtime);
  EXPECT_EQ("2009-04-02", full.modifytime);
  EXPECT_EQ("2009-04-03", full.lastuploadtime);
  EXPECT_EQ("V13abc", full.id);
  EXPECT_EQ("旅行 癨癆", full.name);
  EXPECT_EQ("http://p.kivo.test/c1.jpg", full.pre);
  EXPECT_EQ(1, full.priv);
  EXPECT_EQ("我的名字?", full.question);
  EXPECT_EQ(12, full.total);

  const AlbumInfo& sparse = albums[1];
  EXPECT_EQ("V13def", sparse.id);
  EXPECT_EQ("家", sparse.name);
  EXPECT_EQ("", sparse.createtime);
  EXPECT_EQ("", sparse.modifytime);
  EXPECT_EQ("", sparse.lastuploadtime);
  EXPECT_EQ("", sparse.pre);
  EXPECT_EQ(0, sparse.priv);
  EXPECT_EQ("", sparse.question);
  EXPECT_EQ(0, sparse.total);
}

TEST(AlbumList, ElementTextRules) {
  // TinyXML already drops blanks around plain text; CDATA and character references keep
  // them, so those show the trimming.
  struct Case { const char* elements; std::string AlbumInfo::*field; const char* value; } cases[] = {
      {"<name><![CDATA[ \t癆相册 ]]></name>", &AlbumInfo::name, "癆相册"},
      {"<name>&#32;a&#9;</name>", &AlbumInfo::name, "a"},
      {"<name>a &amp; b &lt;c&gt;</name>", &AlbumInfo::name, "a & b <c>"},
      {"<name><i>x</i>y</name>", &AlbumInfo::name, ""},  // first node is not text
      {"<name/>", &AlbumInfo::name, ""},
      {"<name>one</name><name>two</name>", &AlbumInfo::name, "one"},
      {"<question><![CDATA[ \t ]]></question>", &AlbumInfo::question, ""},  // not protected
      {"<question><![CDATA[ 你好? ]]></question>", &AlbumInfo::question, "你好?"},
      // Only name and question are trimmed.
      {"<pre><![CDATA[ http://p/1.jpg ]]></pre>", &AlbumInfo::pre, " http://p/1.jpg "},
      {"<id><![CDATA[ 7 ]]></id>", &AlbumInfo::id, " 7 "},
  };
  for (const Case& c : cases) {
    std::vector<AlbumInfo> albums;
    ASSERT_TRUE(ParseAlbumList(AlbumList(std::string("<album>") + c.elements + "</album>"), albums));
    ASSERT_EQ(1u, albums.size()) << c.elements;
    EXPECT_EQ(c.value, albums[0].*c.field) << c.elements;
  }
}

TEST(AlbumList, NumbersAreReadAsCDecimals) {
  struct Case { const char* elements; int priv; int total; } cases[] = {
      {"<priv>3</priv><total>12 apples</total>", 3, 12},
      {"<priv>-1</priv><total>apples</total>", -1, 0},
      {"<priv></priv><total/>", 0, 0},
      {"<priv>+5x</priv><total>&#32;40</total>", 5, 40},
      {"<total>99999999999</total>", 0, INT_MAX},
  };
  for (const Case& c : cases) {
    std::vector<AlbumInfo> albums;
    ASSERT_TRUE(ParseAlbumList(AlbumList(std::string("<album>") + c.elements + "</album>"), albums));
    ASSERT_EQ(1u, albums.size()) << c.elements;
    EXPECT_EQ(c.priv, albums[0].priv) << c.elements;
    EXPECT_EQ(c.total, albums[0].total) << c.elements;
  }
}

TEST(AlbumList, OnlyAlbumChildrenOfTheRootCount) {
  const std::string list = AlbumList(
      "<count>3</count><album><id>1</id></album>"
      "<group><album><id>nested</id></album></group>"
      "<albums><album><id>nested too</id></album></albums><album><id>2</id></album>");
  std::vector<AlbumInfo> albums;
  ASSERT_TRUE(ParseAlbumList(list, albums));
  ASSERT_EQ(2u, albums.size());
  EXPECT_EQ("1", albums[0].id);
  EXPECT_EQ("2", albums[1].id);
  EXPECT_TRUE(HasAlbums(list));

  const std::string nested_only = AlbumList("<group><album><id>nested</id></album></group>");
  EXPECT_TRUE(ParseAlbumList(nested_only, albums));
  EXPECT_TRUE(albums.empty());
  EXPECT_FALSE(HasAlbums(nested_only));
}

TEST(AlbumList, CutOffAnswerKeepsWhatWasParsed) {
  std::vector<AlbumInfo> albums;
  ASSERT_TRUE(ParseAlbumList("<data><album><id>1</id><name>一</name></album><album><id>2</id><na",
                             albums));
  ASSERT_EQ(2u, albums.size());
  EXPECT_EQ("一", albums[0].name);
  EXPECT_EQ("2", albums[1].id);
  EXPECT_EQ("", albums[1].name);
}

TEST(PhotoList, ReadsThePicChildrenOfTheRoot) {
  // The shape of a protected album's view answer: ret and msg beside the pics.
  const std::string list = PhotoList(
      "<ret>0</ret><msg>ok</msg>"
      "<pic><name><![CDATA[ 海边 癨 ]]></name><pre>http://p/1s.jpg</pre>"
      "<origin_url>http://p/1.jpg</origin_url></pic>"
      "<group><pic><name>nested</name></pic></group>"
      "<pic><origin_url>http://p/2.jpg</origin_url></pic>");
  std::vector<PhotoInfo> photos(3);
  ASSERT_TRUE(ParsePhotoList(photos, list));
  ASSERT_EQ(2u, photos.size());
  EXPECT_EQ("海边 癨", photos[0].name);
  EXPECT_EQ("http://p/1s.jpg", photos[0].pre);
  EXPECT_EQ("http://p/1.jpg", photos[0].origin_url);
  EXPECT_EQ("", photos[1].name);
  EXPECT_EQ("", photos[1].pre);
  EXPECT_EQ("http://p/2.jpg", photos[1].origin_url);
}

TEST(Lists, ARootWithoutItemsIsTrueAndEmpty) {
  for (const char* answer : {"<data/>", "<data><ret>0</ret></data>", "<data/><pic/><album/>"}) {
    std::vector<AlbumInfo> albums(2);
    std::vector<PhotoInfo> photos(2);
    EXPECT_TRUE(ParseAlbumList(answer, albums)) << answer;
    EXPECT_TRUE(albums.empty()) << answer;
    EXPECT_TRUE(ParsePhotoList(photos, answer)) << answer;
    EXPECT_TRUE(photos.empty()) << answer;
    EXPECT_FALSE(HasAlbums(answer)) << answer;
  }
}

TEST(Lists, AnAnswerOfCountlessEmptyElementsGivesAtMostTheRecordLimit) {
  std::string albums = "<data>", pics = "<data>";
  for (std::size_t i = 0; i < kivo::kMaxListRecords + 5; ++i) {
    albums += "<album/>";
    pics += "<pic/>";
  }
  albums += "<album><name>last</name></album></data>";
  pics += "</data>";
  std::vector<AlbumInfo> parsedAlbums;
  EXPECT_TRUE(kivo::ParseAlbumList(albums, parsedAlbums));
  EXPECT_EQ(kivo::kMaxListRecords, parsedAlbums.size());
  std::vector<PhotoInfo> parsedPhotos;
  EXPECT_TRUE(ParsePhotoList(parsedPhotos, pics));
  EXPECT_EQ(kivo::kMaxListRecords, parsedPhotos.size());
}

TEST(Lists, NoRootElementIsFalseAndEmpty) {
  const char* answers[] = {
      "", "   ", "not xml", "{\"nick\":\"x\",}", "garbage<data><album/><pic/></data>",
      "<?xml version=\"1.0\"?>", "<!-- only a comment -->",
  };
  for (const char* answer : answers) {
    std::vector<AlbumInfo> albums(2);
    std::vector<PhotoInfo> photos(2);
    EXPECT_FALSE(ParseAlbumList(answer, albums)) << answer;
    EXPECT_TRUE(albums.empty()) << answer;
    EXPECT_FALSE(ParsePhotoList(photos, answer)) << answer;
    EXPECT_TRUE(photos.empty()) << answer;
    EXPECT_FALSE(HasAlbums(answer)) << answer;
  }
}

// Inputs that TinyXML 2.6.2 mishandles. An unpatched library loops forever on the first
// two (CVE-2021-42260) and fails an assertion on the next three (CVE-2023-34194); this
// build has assertions and AddressSanitizer on, so ending cleanly is most of the check.
TEST(Lists, TinyXmlFaultInputsEndCleanly) {
  struct Case { std::string answer; bool root; std::size_t albums; std::size_t pics; } cases[] = {
      {"<?xml version=\"1.0\"?><\xEF/", true, 0, 0},
      {"\xEF\xBB\xBF<data><album><\xEF/", true, 1, 0},
      {"<?xml ", false, 0, 0},
      {"<?xml version=\"1.0\"   ", false, 0, 0},
      {"<data><album><id>1</id></album><album><?xml ", true, 2, 0},
      // Ends inside a UTF-8 sequence: TinyXML steps past the end of the text.
      {"<?xml version=\"1.0\"?><data><album><name>\xEE", true, 1, 0},
      {"\xEF\xBB\xBF<data><pic><name>x</name></pic><pic>\xF0\x9F", true, 0, 2},
  };
  for (const Case& c : cases) {
    std::vector<AlbumInfo> albums;
    std::vector<PhotoInfo> photos;
    EXPECT_EQ(c.root, ParseAlbumList(c.answer, albums)) << c.answer;
    EXPECT_EQ(c.albums, albums.size()) << c.answer;
    EXPECT_EQ(c.albums > 0, HasAlbums(c.answer)) << c.answer;
    EXPECT_EQ(c.root, ParsePhotoList(photos, c.answer)) << c.answer;
    EXPECT_EQ(c.pics, photos.size()) << c.answer;
  }
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// Nested elements are parsed by recursion: an answer nested deep enough would overflow a
// thread's stack (a worker's is 1 MiB on Windows). The build limits TinyXML's nesting.
TEST(Lists, DeeplyNestedAnswersEndCleanlyAndKeepWhatCameBefore) {
  std::string deep = "<data><album><id>7</id></album><album>";
  for (int i = 0; i < 1000000; ++i)
    deep += "<a>";
  std::vector<AlbumInfo> albums;
  EXPECT_TRUE(ParseAlbumList(deep, albums));
  ASSERT_EQ(2u, albums.size());
  EXPECT_EQ("7", albums[0].id);
  std::vector<PhotoInfo> photos;
  EXPECT_TRUE(ParsePhotoList(photos, deep));
  EXPECT_TRUE(photos.empty());

  // Nesting far beyond the service's three levels still parses whole.
  std::string nested = "<data><pic><name>";
  for (int i = 0; i < 60; ++i)
    nested += "<b>";
  nested += "x";
  for (int i = 0; i < 60; ++i)
    nested += "</b>";
  nested += "</name><pre>p</pre></pic></data>";
  EXPECT_TRUE(ParsePhotoList(photos, nested));
  ASSERT_EQ(1u, photos.size());
  EXPECT_EQ("p", photos[0].pre);
}

// " a0=\"\" a1=\"\" ..." up to count attributes, or until the text reaches bytes.
std::string Attributes(std::size_t count, std::size_t bytes = std::string::npos) {
  std::string text;
  for (std::size_t i = 0; i < count && text.size() < bytes; ++i)
    text += " a" + std::to_string(i) + "=\"\"";
  return text;
}

// TinyXML checks each new attribute against all earlier ones of its element: without a
// bound, one element filling the 16 MiB text cap would keep the parser busy for hours
// (this test would then end by the ctest time-out). The element is cut off where it
// passes the bound, and what came before it is kept.
TEST(Lists, ElementWithAttributesUpToTheTextCapEndsCleanly) {
  std::string answer = "<data><album><id>7</id></album><pic><pre>p</pre></pic><album" +
                       Attributes(std::string::npos, 16u << 20) + "><id>8</id></album></data>";
  std::vector<AlbumInfo> albums;
  EXPECT_TRUE(ParseAlbumList(answer, albums));
  ASSERT_EQ(2u, albums.size());
  EXPECT_EQ("7", albums[0].id);
  EXPECT_EQ("", albums[1].id);
  std::vector<PhotoInfo> photos;
  EXPECT_TRUE(ParsePhotoList(photos, answer));
  ASSERT_EQ(1u, photos.size());
  EXPECT_EQ("p", photos[0].pre);
}

// The bound is per element: answers whose elements carry a few attributes each, however
// many such elements, parse whole.
TEST(Lists, ElementsWithAFewAttributesEachParseWhole) {
  struct Case { std::size_t attributes; std::size_t items; bool whole; } cases[] = {
      {1, 3, true}, {32, 3, true}, {32, 20000, true}, {33, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.attributes) + " attributes, " + std::to_string(c.items) + " items");
    std::string albums_text = "<data" + Attributes(c.attributes) + ">";
    std::string pics_text = albums_text;
    for (std::size_t i = 0; i < c.items; ++i) {
      std::string id = std::to_string(i);
      albums_text += "<album" + Attributes(c.attributes) + "><id>" + id + "</id></album>";
      pics_text += "<pic" + Attributes(c.attributes) + "><pre>" + id + "</pre></pic>";
    }
    albums_text += "</data>";
    pics_text += "</data>";
    std::vector<AlbumInfo> albums;
    std::vector<PhotoInfo> photos;
    // Past the bound the root itself is cut off: a root, no items.
    EXPECT_TRUE(ParseAlbumList(albums_text, albums));
    EXPECT_TRUE(ParsePhotoList(photos, pics_text));
    if (!c.whole) {
      EXPECT_TRUE(albums.empty());
      EXPECT_TRUE(photos.empty());
      continue;
    }
    ASSERT_EQ(c.items, albums.size());
    ASSERT_EQ(c.items, photos.size());
    EXPECT_EQ(std::to_string(c.items - 1), albums.back().id);
    EXPECT_EQ(std::to_string(c.items - 1), photos.back().pre);
  }
}

}  // namespace
}  // namespace kivo
