#include "skin/skin_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace kivo {
namespace {

TEST(SkinData, TheCarriedSkinFileParses) {
  std::ifstream in(KIVO_SOURCE_DIR "/src/skin/skin.dat", std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  SkinColours colours;
  ASSERT_TRUE(ParseSkinData(data, colours));
  EXPECT_EQ(234u | 242u << 8 | 251u << 16, colours.dialogBackground);
  EXPECT_EQ(24u | 52u << 8 | 96u << 16, colours.text);
}

TEST(SkinData, AnythingUnexpectedMakesTheWholeFileCorrupt) {
  const std::string good = "dialog.background = 1 2 3\ntext.colour = 4 5 6\n";
  struct Case {
    std::string data;
    bool parses;
  } cases[] = {
      {"KIVOSKIN 1\n" + good, true},
      {"KIVOSKIN 1\r\n# comment\r\n\r\ndialog.background=1 2 3\r\ntext.colour = 4 5 6", true},
      {"", false},
      {"KIVOSKIN 2\n" + good, false},
      {good, false},
      {"KIVOSKIN 1\ndialog.background = 1 2 3\n", false},
      {"KIVOSKIN 1\n" + good + "text.colour = 4 5 6\n", false},
      {"KIVOSKIN 1\n" + good + "button.face = 1 1 1\n", false},
      {"KIVOSKIN 1\ndialog.background = 1 2 256\ntext.colour = 4 5 6\n", false},
      {"KIVOSKIN 1\ndialog.background = 1 2\ntext.colour = 4 5 6\n", false},
      {"KIVOSKIN 1\ndialog.background = 1 2 3 4\ntext.colour = 4 5 6\n", false},
      {"KIVOSKIN 1\ndialog.background = -1 2 3\ntext.colour = 4 5 6\n", false},
      {"KIVOSKIN 1\ndialog.background 1 2 3\ntext.colour = 4 5 6\n", false},
      {"KIVOSKIN 1\n" + good + std::string(kMaxSkinFileSize, '#'), false},
  };
  for (const Case& c : cases) {
    SkinColours colours;
    colours.text = 99;
    EXPECT_EQ(c.parses, ParseSkinData(c.data, colours)) << c.data.substr(0, 80);
    if (!c.parses) {
      EXPECT_EQ(99u, colours.text) << "a corrupt file leaves the colours alone";
    }
  }
}

}  // namespace
}  // namespace kivo
