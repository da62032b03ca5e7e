#include "update/update_document.h"

#include <gtest/gtest.h>

#include "fake_http.h"

namespace kivo {
namespace {

// The page as the blog serves it: the document escaped, its line ends as <br>.
std::string Escape(const std::string& document) {
  std::string out;
  for (char c : document) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '\n')
      out += "<br>";
    else
      out += c;
  }
  return out;
}

std::string Page(const std::string& document) {
  return "<html><body><div class=\"blog_title\">更新</div>\n<div class=\"blog_text\" id=\"t\">" + Escape(document) +
         "</div><div class=\"foot\">评论</div></body></html>";
}

std::string Soft(const std::string& inner) {
  return "<soft>" + inner + "</soft>";
}

std::string Document(const std::string& softs) {
  return "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<update>\n" + softs + "\n</update>";
}

const UpdateInfo kUntouched = {"untouched", "0.0", "http://untouched/", 7};

TEST(UpdatePage, FindsThisProgramsEntryAndReadsItsFields) {
  struct Case {
    const char* what;
    std::string page;
    bool found;
    UpdateInfo expected;
  } cases[] = {
      {"blanks and line breaks around the version", Page(Document(Soft("<name>KivoAlbum</name><version>\n  1.5 \n</version>"))),
       true, {"KivoAlbum", "1.5", "http://untouched/", 7}},
      {"all four fields", Page(Document(Soft("<name> KivoAlbum </name><version>1.6</version>"
                                             "<downurl> http://d.test/K.exe </downurl><compressed> -12abc</compressed>"))),
       true, {"KivoAlbum", "1.6", "http://d.test/K.exe", -12}},
      {"name matched without case, kept as spelled", Page(Document(Soft("<name>  kivoalbum\n</name><version>2.0</version>"))),
       true, {"kivoalbum", "2.0", "http://untouched/", 7}},
      {"an empty version element", Page(Document(Soft("<name>KivoAlbum</name><version></version>"))),
       true, {"KivoAlbum", "", "http://untouched/", 7}},
      {"&amp; in the address reaches the download as &",
       Page(Document(Soft("<name>KivoAlbum</name><downurl>http://d.test/get?a=1&amp;b=2</downurl>"))),
       true, {"KivoAlbum", "0.0", "http://d.test/get?a=1&b=2", 7}},
      {"an escaped entity is the parser's to decode, after the page's own",
       Page(Document(Soft("<name>KivoAlbum</name><downurl>a&amp;lt;b</downurl>"))),
       true, {"KivoAlbum", "0.0", "a&lt;b", 7}},
      {"two entries: the first one wins",
       Page(Document(Soft("<name>KivoAlbum</name><version>1.4</version>") + Soft("<name>KivoAlbum</name><version>1.6</version>"))),
       true, {"KivoAlbum", "1.4", "http://untouched/", 7}},
      {"other programs and an entry without a name are passed over",
       Page(Document(Soft("<version>9</version>") + Soft("<name>KivoAlbumPro</name><version>8</version>") +
                     Soft("<name>KivoAlbum</name><version>1.6</version>"))),
       true, {"KivoAlbum", "1.6", "http://untouched/", 7}},
      {"the first blog_text holds the document",
       Page(Document(Soft("<name>KivoAlbum</name><version>1.6</version>"))) +
           "<div class=\"blog_text\">" + Escape(Document(Soft("<name>KivoAlbum</name><version>3.0</version>"))) + "</div>",
       true, {"KivoAlbum", "1.6", "http://untouched/", 7}},
      {"an entry deeper than the root's children is not seen",
       Page(Document("<group>" + Soft("<name>KivoAlbum</name><version>1.6</version>") + "</group>")), false, kUntouched},
      {"no </div> after blog_text", "<div class=\"blog_text\">" + Escape(Document(Soft("<name>KivoAlbum</name>"))), false,
       kUntouched},
      {"no blog_text", "<div>" + Escape(Document(Soft("<name>KivoAlbum</name>"))) + "</div>", false, kUntouched},
      {"not XML", Page("KivoAlbum 1.6"), false, kUntouched},
      {"no entry for this program", Page(Document(Soft("<name>Other</name><version>1.6</version>"))), false, kUntouched},
      {"empty page", "", false, kUntouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string document;
    UpdateInfo info = kUntouched;
    const bool found = CutUpdateDocument(c.page, document) && ReadUpdateEntry(document, info);
    EXPECT_EQ(c.found, found);
    EXPECT_EQ(c.expected.name, info.name);
    EXPECT_EQ(c.expected.version, info.version);
    EXPECT_EQ(c.expected.downurl, info.downurl);
    EXPECT_EQ(c.expected.compressed, info.compressed);
  }
}

TEST(UpdatePage, DocumentIsCutAtTheTagEndAndDecodedInOrder) {
  std::string document = "left";
  // "&lt;br&gt;" is escaped markup: it must become <br>, not a line break.
  EXPECT_TRUE(CutUpdateDocument("x<div class=\"blog_text\">a<br>&lt;b&gt;&lt;br&gt;<BR>&amp;</div>y</div>", document));
  EXPECT_EQ("a\n<b><br><BR>&amp;", document);
  EXPECT_TRUE(CutUpdateDocument("blog_text></div>", document));
  EXPECT_EQ("", document);
  document = "left";
  EXPECT_FALSE(CutUpdateDocument("blog_text but no end of tag", document));
  EXPECT_EQ("left", document);
}

TEST(UpdateVersion, OnlyTheProgramsOwnVersionIsCurrent) {
  struct Case { const char* version; bool other; } cases[] = {
      {"1.5", false}, {"1.4", true}, {"1.50", true}, {"2.0", true}, {"", true}, {" 1.5", true}, {"1.5\n", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.other, IsOtherVersion(c.version)) << "[" << c.version << "]";
}

TEST(UpdateVersion, NewFileNameJoinsNameVersionAndExtension) {
  EXPECT_EQ("kivoalbum2.0.exe", NewProgramFileName({"kivoalbum", "2.0", "", 0}));
  EXPECT_EQ("KivoAlbum.exe", NewProgramFileName({"KivoAlbum", "", "", 0}));
}

TEST(FetchUpdateInfo, FillsInfoOnlyFromASuccessfulPageWithAnEntry) {
  const std::string url = "http://blog.test/update.html";
  const std::string good = Page(Document(Soft("<name>KivoAlbum</name><version>1.6</version>")));
  struct Case { const char* what; bool answered; test::FakeAnswer answer; int result; } cases[] = {
      {"success", true, {good, 200}, 1},
      {"not found", true, {good, 404}, 0},
      {"no connection", false, {}, 0},
      {"page without the document", true, {"<html></html>", 200}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::FakeHttp::Reset();
    if (c.answered)
      test::FakeHttp::answers[url] = c.answer;
    UpdateInfo info = kUntouched;
    EXPECT_EQ(c.result, FetchUpdateInfo(url, info));
    EXPECT_EQ(c.result ? "1.6" : "0.0", info.version);
    EXPECT_EQ(std::vector<std::string>{url}, test::FakeHttp::requests);
  }
}

}  // namespace
}  // namespace kivo
