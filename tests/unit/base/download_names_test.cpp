#include "base/download_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kivo {
namespace {

// GBK written out as bytes (this build is native, its literals UTF-8), so that the cases
// show the bytes that matter.
const std::string kGbkTrail5C = "\xD5\x5C";  // a GBK character whose second byte is '\'
const std::string kGbkTrail7C = "\x81\x7C";  // ... and '|'
const std::string kXiHu = "\xCE\xF7\xBA\xFE";  // 西湖

TEST(DownloadNames, NameComponentRules) {
  struct Case {
    std::string name;
    NameFault fault;
  } cases[] = {
      {kXiHu, NameFault::kNone},
      {"2009 " + kXiHu + " & friends (1)", NameFault::kNone},
      {kGbkTrail5C + kGbkTrail7C, NameFault::kNone},
      {".hidden", NameFault::kNone},
      {"a..b", NameFault::kNone},
      {"CONSOLE", NameFault::kNone},
      {"COM0", NameFault::kNone},
      {"LPT10", NameFault::kNone},
      {"NULL.txt", NameFault::kNone},
      {"a/b", NameFault::kForbiddenCharacter},
      {"a\\b", NameFault::kForbiddenCharacter},
      {"x:y", NameFault::kForbiddenCharacter},
      {"why?", NameFault::kForbiddenCharacter},
      {"a*", NameFault::kForbiddenCharacter},
      {"\"q\"", NameFault::kForbiddenCharacter},
      {"<b>", NameFault::kForbiddenCharacter},
      {"a|b", NameFault::kForbiddenCharacter},
      {"tab\there", NameFault::kControlCharacter},
      {"bell\x07", NameFault::kControlCharacter},
      {std::string("nul\0x", 5), NameFault::kControlCharacter},
      {"lone lead \x81", NameFault::kBrokenText},
      {"\x80", NameFault::kBrokenText},
      {"", NameFault::kBlank},
      {"   ", NameFault::kBlank},
      {"\t \r\n", NameFault::kBlank},
      {".", NameFault::kDotsOnly},
      {"..", NameFault::kDotsOnly},
      {"...", NameFault::kTrailingDotOrBlank},
      {"end.", NameFault::kTrailingDotOrBlank},
      {"end ", NameFault::kTrailingDotOrBlank},
      {"CON", NameFault::kReservedDevice},
      {"con", NameFault::kReservedDevice},
      {"Prn.jpg", NameFault::kReservedDevice},
      {"aux.tar.gz", NameFault::kReservedDevice},
      {"NUL .txt", NameFault::kReservedDevice},
      {"com1", NameFault::kReservedDevice},
      {"COM9.jpg", NameFault::kReservedDevice},
      {"lPt5", NameFault::kReservedDevice},
  };
  for (const Case& c : cases)
    EXPECT_EQ(static_cast<int>(c.fault), static_cast<int>(CheckNameComponent(c.name))) << "name: " << c.name;
  EXPECT_FALSE(HasForbiddenCharacter(kGbkTrail5C + kGbkTrail7C));
  EXPECT_TRUE(HasForbiddenCharacter(kXiHu + "/"));
}

TEST(DownloadNames, AlbumFolders) {
  const std::string member = "C:\\kivo\\480215937\\";
  const std::string stamp = "20261210120000";
  struct Case {
    std::string name;
    std::set<std::string> existing;  // album folders already there
    std::string expected;
    bool renamed;
  } cases[] = {
      {kXiHu, {}, kXiHu, false},
      {kGbkTrail5C, {}, kGbkTrail5C, false},
      {"a/b", {}, stamp, true},
      {"..", {}, stamp, true},
      {"", {}, stamp, true},
      {"CON", {}, stamp, true},
      {"end.", {}, stamp, true},
      {std::string(220, 'x'), {}, stamp, true},
      {kXiHu, {kXiHu}, kXiHu + stamp, true},
      {kXiHu, {kXiHu, kXiHu + stamp}, kXiHu + stamp + "_2", true},
      {"a/b", {stamp}, stamp + stamp, true},
      {"a/b", {stamp, stamp + stamp, stamp + stamp + "_2"}, stamp + stamp + "_3", true},
  };
  for (const Case& c : cases) {
    auto exists = [&](const std::string& path) {
      return path.compare(0, member.size(), member) == 0 && path.back() == '\\' &&
             c.existing.count(path.substr(member.size(), path.size() - member.size() - 1)) > 0;
    };
    ChosenName chosen = ChooseAlbumFolder(member, c.name, stamp, exists);
    EXPECT_EQ(c.expected, chosen.name) << "album: " << c.name;
    EXPECT_EQ(member + c.expected + "\\", chosen.path) << "album: " << c.name;
    EXPECT_EQ(c.renamed, chosen.renamed) << "album: " << c.name;
  }
}

TEST(DownloadNames, AlbumFolderAlwaysLeavesRoomForAPhoto) {
  std::string member = "C:\\" + std::string(150, 'm') + "\\";
  for (std::size_t length : {10u, 60u, 64u, 65u, 66u, 100u}) {
    ChosenName chosen = ChooseAlbumFolder(member, std::string(length, 'a'), "20261210120000",
                                          [](const std::string&) { return false; });
    EXPECT_LE(chosen.path.size() + kGuidFileLength, kMaxPathLength) << length;
    EXPECT_EQ(chosen.renamed, chosen.name != std::string(length, 'a')) << length;
  }
}

TEST(DownloadNames, EmptyTimeStampNeverNamesTheMemberFolderItself) {
  ChosenName chosen = ChooseAlbumFolder("C:\\m\\", "a/b", "", [](const std::string&) { return false; });
  EXPECT_EQ(NameFault::kNone, CheckNameComponent(chosen.name)) << chosen.name;
  EXPECT_NE("C:\\m\\", chosen.path);
}

TEST(DownloadNames, PhotoFiles) {
  const std::string album = "C:\\kivo\\480215937\\" + kXiHu + "\\";
  const std::string guid = "0f8fad5b-d9cb-469f-a165-70867728950e";
  struct Case {
    std::string name;
    std::set<std::string> existing;  // photo files already there
    std::string expected;
  } cases[] = {
      {kXiHu, {}, kXiHu},
      {"a.", {}, "a."},  // "a..jpg" is a good file name
      {".", {}, "."},
      {"..", {}, ".."},
      {kGbkTrail5C + kGbkTrail7C, {}, kGbkTrail5C + kGbkTrail7C},
      {"a\\..\\..\\x", {}, guid},
      {"", {}, guid},
      {"  ", {}, guid},
      {"con", {}, guid},
      {"lpt1", {}, guid},
      {"cr\r", {}, guid},
      {std::string(240, 'p'), {}, guid},
      {kXiHu, {kXiHu + ".jpg"}, guid},
  };
  for (const Case& c : cases) {
    int guids = 0;
    ChosenName chosen = ChoosePhotoFile(
        album, c.name, [&](const std::string& path) { return c.existing.count(path.substr(album.size())) > 0; },
        [&] { ++guids; return guid; });
    EXPECT_EQ(c.expected, chosen.name) << "photo: " << c.name;
    EXPECT_EQ(album + c.expected + ".jpg", chosen.path) << "photo: " << c.name;
    EXPECT_EQ(c.expected == guid, chosen.renamed) << "photo: " << c.name;
    EXPECT_EQ(c.expected == guid ? 1 : 0, guids) << "photo: " << c.name;
  }
}

}  // namespace
}  // namespace kivo
