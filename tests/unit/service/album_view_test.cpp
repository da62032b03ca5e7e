// The view answer of a protected album, one answer per row.
#include "service/album_view.h"
#include "service/endpoints.h"

#include <gtest/gtest.h>

#include "build_config.h"

namespace kivo {
namespace {

std::string Answer(const std::string& children) {
  return "<?xml version=\"1.0\" encoding=\"GBK\"?><data>" + children + "</data>";
}

TEST(ViewAnswer, RetDecidesAndMsgIsReadWhateverRetHolds) {
  struct Case {
    std::string body;
    ViewOutcome outcome;
    bool hasMsg;
    const char* msg;
  } cases[] = {
      {Answer("<ret>-907</ret><msg>验证码错误</msg>"), ViewOutcome::kNewPicture, true, "验证码错误"},
      {Answer("<ret>-906</ret>"), ViewOutcome::kNewPicture, false, ""},
      {Answer("<ret>-805</ret><msg>x</msg>"), ViewOutcome::kNewPicture, true, "x"},
      {Answer("<ret>-900</ret><msg>答案错误</msg>"), ViewOutcome::kStay, true, "答案错误"},
      {Answer("<ret>0</ret><pic><name>a</name></pic>"), ViewOutcome::kAccepted, false, ""},
      {Answer("<ret> 0 </ret>"), ViewOutcome::kAccepted, false, ""},
      {Answer("<ret>\t0\r\n</ret>"), ViewOutcome::kAccepted, false, ""},
      {Answer("<ret>0</ret><msg>欢迎</msg>"), ViewOutcome::kAccepted, true, "欢迎"},
      {Answer("<ret>00</ret>"), ViewOutcome::kStay, false, ""},
      {Answer("<ret>-9070</ret>"), ViewOutcome::kStay, false, ""},
      {Answer("<ret>+0</ret>"), ViewOutcome::kStay, false, ""},
      {Answer("<ret>-1</ret>"), ViewOutcome::kStay, false, ""},
      // A root without ret is a refusal nobody explained: the dialog stays.
      {Answer("<msg>稍后再试</msg>"), ViewOutcome::kStay, true, "稍后再试"},
      {Answer(""), ViewOutcome::kStay, false, ""},
      // Only the first ret counts; a ret deeper in the tree is not the root's.
      {Answer("<ret>-900</ret><ret>0</ret>"), ViewOutcome::kStay, false, ""},
      {Answer("<x><ret>0</ret></x>"), ViewOutcome::kStay, false, ""},
      // An empty msg element is still a msg.
      {Answer("<ret>-900</ret><msg/>"), ViewOutcome::kStay, true, ""},
      // Nothing that parses as a document.
      {"", ViewOutcome::kNoAnswer, false, ""},
      {"ret=0", ViewOutcome::kNoAnswer, false, ""},
      {"<?xml version=\"1.0\"?>", ViewOutcome::kNoAnswer, false, ""},
  };
  for (const Case& c : cases) {
    ViewAnswer answer = ReadViewAnswer(c.body);
    EXPECT_EQ(c.outcome, answer.outcome) << c.body;
    EXPECT_EQ(c.hasMsg, answer.hasMsg) << c.body;
    EXPECT_EQ(c.msg, answer.msg) << c.body;
  }
}

TEST(ViewRequest, TheCodeGoesInOnlyWithItsForm) {
  const std::string head = std::string("http://") + config::kAlbumViewHost +
                           "/cgi-bin/common/cgi_view_album?uin=480215937&albumid=22&t=0.02748987557173027";
  EXPECT_EQ(head + "&verifycode=k7Rw&question=%61&answer=0CC1&output_type=1&refer=pavo",
            AlbumViewUrl("480215937", "22", true, "k7Rw", "%61", "0CC1"));
  EXPECT_EQ(head + "&question=%61&answer=0CC1&output_type=1&refer=pavo",
            AlbumViewUrl("480215937", "22", false, "k7Rw", "%61", "0CC1"));
  // What the user types cannot end the value or add a parameter.
  EXPECT_EQ(head + "&verifycode=a%20b%26answer%3D0%23&question=%61&answer=0CC1&output_type=1&refer=pavo",
            AlbumViewUrl("480215937", "22", true, "a b&answer=0#", "%61", "0CC1"));
  EXPECT_EQ(std::string("http://") + config::kLoginHost + "/getimage?aid=15000501&0.7421052063500946",
            VerifyPictureUrl());
}

}  // namespace
}  // namespace kivo
