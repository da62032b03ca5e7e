// The program's main job from outside: list a member's albums, tick, download, and compare
// every file on disk with what the stand-in service served.
#include "album_job.h"
#include "e2e/e2e_support.h"
#include "responsiveness_probe.h"
#include "service/answer_parsers.h"
#include "service/endpoints.h"
#include "win/service/fetch_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using e2e::InstallCopy;
using e2e::Program;
using e2e::ReadFile;
using kivodriver::ResponsivenessProbe;

constexpr int kJobTimeoutMs = 120000;
const char kDemoUin[] = "480215937";
const char kPhotoHost[] = "p4.kivo.test";
const char kUin[] = "900002";       // hostile names
const char kFaultUin[] = "900003";  // photo fetches that fail one way each


std::vector<PhotoInfo> ServedPhotos(const std::string& uin, const std::string& albumId) {
  fetchtest::Reply reply = fetchtest::BareGet(kivo::PhotoListUrl(kPhotoHost, uin, albumId));
  std::vector<PhotoInfo> photos;
  ParsePhotoList(photos, fetchtest::WithoutLineEnds(reply.body));
  return photos;
}

std::vector<AlbumInfo> ServedAlbums(const std::string& uin) {
  fetchtest::Reply reply = fetchtest::BareGet(kivo::AlbumListUrl("a4.kivo.test", uin));
  std::vector<AlbumInfo> albums;
  kivo::ParseAlbumList(fetchtest::WithoutLineEnds(reply.body), albums);
  return albums;
}

// Every file below folder, by its path relative to folder.
void CollectFiles(const std::string& folder, const std::string& relative, std::map<std::string, std::string>& files) {
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + relative + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..")
      continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      CollectFiles(folder, relative + name + "\\", files);
    else
      files[relative + name] = ReadFile(folder + relative + name);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether every pixel of a 24- or 32-bit BMP file is white; false for anything else.
bool IsWhiteBmp(const std::string& bytes, int width, int height) {
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0)
    return false;
  auto read32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
  };
  std::uint32_t offset = read32(10);
  int w = static_cast<int>(read32(18)), h = static_cast<int>(read32(22));
  int bits = static_cast<unsigned char>(bytes[28]);
  if (w != width || (h != height && h != -height) || (bits != 24 && bits != 32))
    return false;
  std::size_t pitch = ((static_cast<std::size_t>(w) * bits / 8) + 3) & ~static_cast<std::size_t>(3);
  if (bytes.size() < offset + pitch * height)
    return false;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < w; ++x) {
      std::size_t at = offset + y * pitch + x * (bits / 8);
      for (int c = 0; c < 3; ++c) {
        if (static_cast<unsigned char>(bytes[at + c]) != 0xFF)
          return false;
      }
    }
  }
  return true;
}

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM list) {
  if (::IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Whether a window of any process shows the folder: the shell's answer to "open" on it. The
// window is closed again, so that its process does not outlive the test.
bool ShellOpened(const std::string& folder) {
  std::string name = folder.substr(0, folder.size() - 1);
  name = name.substr(name.find_last_of('\\') + 1);
  DWORD start = ::GetTickCount();
  do {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectVisibleWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
      if (kivodriver::GetText(window).find(name) == std::string::npos)
        continue;
      DWORD processId = 0;
      ::GetWindowThreadProcessId(window, &processId);
      kivodriver::Process shell{::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId), processId};
      ::PostMessageA(window, WM_CLOSE, 0, 0);
      kivodriver::WaitForExit(shell, 5000);
      kivodriver::Terminate(shell);
      return true;
    }
    ::Sleep(200);
  } while (::GetTickCount() - start < 15000);
  return false;
}

std::string ListItemText(const AlbumInfo& album) {
  return album.name + "\n共" + std::to_string(album.total) + "张";
}

TEST(AlbumJob, ListsTheCheckedAccountAndDownloadsEveryTickedAlbumByteForByte) {
  const std::string folder = InstallCopy("albums");
  Program program;
  HWND main = program.StartAndWait(folder);
  ASSERT_NE(nullptr, main);

  // The account box keeps its preset number. Once the window has checked it and the log
  // names the member, the box changes: the listing must still use the checked number.
  kivodriver::Click(::GetDlgItem(main, kivodriver::kViewButton));
  ASSERT_TRUE(kivodriver::WaitForLog(main, std::string("正在获取 ") + kDemoUin + "(小明) 的相册列表，请稍等……", 30000))
      << kivodriver::AnsiToUtf8(kivodriver::LogText(main));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, kivodriver::kViewButton)));
  kivodriver::SetText(::GetDlgItem(main, kivodriver::kAccountBox), " ..\\..\\12345 ");
  DWORD_PTR result = 0;
  ASSERT_TRUE(::SendMessageTimeoutA(main, kivodriver::kLoginFinished, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
  ASSERT_TRUE(kivodriver::WaitForEnabled(main, kivodriver::kViewButton, true, kJobTimeoutMs));
  EXPECT_NE(std::string::npos, kivodriver::LogText(main).find(std::string(kDemoUin) + "(小明) 共有 5 个相册"));

  const std::vector<AlbumInfo> served = ServedAlbums(kDemoUin);
  ASSERT_EQ(5u, served.size());
  std::vector<kivodriver::ListItem> items;
  HWND list = ::GetDlgItem(main, kivodriver::kAlbumList);
  ASSERT_TRUE(kivodriver::ReadListView(list, items));
  ASSERT_EQ(served.size(), items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(ListItemText(served[i]), items[i].text) << i;
    EXPECT_EQ(static_cast<int>(i), items[i].image) << i;
    EXPECT_TRUE(items[i].checked) << i;
    std::string thumbnail = ReadFile(folder + "tmp\\" + std::to_string(i) + ".bmp");
    EXPECT_EQ(0u, thumbnail.compare(0, 2, "BM")) << "thumbnail " << i << " is no BMP";
  }
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main, kivodriver::kDownloadButton)));
  ::Sleep(300);
  e2e::SaveScreenshot("album-list.png");

  // Untick the third album; an item the listing never made (no album behind it) is skipped.
  ASSERT_TRUE(kivodriver::SetListItemChecked(list, 2, false));
  int stray = kivodriver::AppendListItem(list, "多余的项");
  ASSERT_EQ(5, stray);
  ASSERT_TRUE(kivodriver::SetListItemChecked(list, stray, true));
  std::string error;
  ASSERT_TRUE(kivodriver::DownloadTicked(program.Id(), main, false, kJobTimeoutMs, error)) << error;
  ::Sleep(300);
  e2e::SaveScreenshot("download-log.png");

  const std::string member = folder + kDemoUin + "\\";
  std::map<std::string, std::string> files;
  CollectFiles(member, "", files);
  std::size_t expected = 0;
  for (std::size_t i = 0; i < served.size(); ++i) {
    const std::string albumFolder = member + served[i].name + "\\";
    if (i == 2) {
      EXPECT_FALSE(IsDirectory(albumFolder)) << "the unticked album was downloaded";
      continue;
    }
    EXPECT_TRUE(IsDirectory(albumFolder)) << kivodriver::AnsiToUtf8(served[i].name);
    for (const PhotoInfo& photo : ServedPhotos(kDemoUin, served[i].id)) {
      ++expected;
      std::string relative = served[i].name + "\\" + photo.name + ".jpg";
      ASSERT_TRUE(files.count(relative)) << kivodriver::AnsiToUtf8(relative);
      EXPECT_TRUE(files[relative] == fetchtest::ServedContent(photo.origin_url)) << kivodriver::AnsiToUtf8(relative);
    }
  }
  EXPECT_EQ(12u, expected);
  EXPECT_EQ(expected, files.size());
  EXPECT_FALSE(IsDirectory(folder + "12345")) << "the changed account box was used";
  std::string log = kivodriver::LogText(main);
  EXPECT_NE(std::string::npos, log.find("正在下载[西湖春游](1/4) 断桥残雪"));
  EXPECT_NE(std::string::npos, log.find("第6项没有对应的相册，已跳过"));
  EXPECT_NE(std::string::npos, log.find("下载完毕……\r\n共保存12张图片，0张下载失败"))
      << kivodriver::AnsiToUtf8(log);

  // Again, answering Yes: the folders exist, so every album gets a second, stamped folder,
  // and the member folder is opened.
  ASSERT_TRUE(kivodriver::DownloadTicked(program.Id(), main, true, kJobTimeoutMs, error)) << error;
  EXPECT_EQ(8u, e2e::FolderEntries(member).size());
  EXPECT_TRUE(ShellOpened(member)) << "the member folder was not opened";
}

TEST(AlbumJob, NamesFromTheServiceNeverLeaveTheMemberFolderOrMeetInOneFile) {
  const std::string folder = InstallCopy("names");
  const std::string outside = folder.substr(0, folder.find_last_of('\\', folder.size() - 2) + 1);
  const std::vector<std::string> outsideBefore = e2e::FolderEntries(outside);
  Program program;
  HWND main = program.StartAndWait(folder);
  ASSERT_NE(nullptr, main);
  std::string error;
  // The demo's listing leaves its covers in the scratch folder; the next member's first cover
  // cannot be fetched, and its tile must not show the demo's.
  ASSERT_TRUE(kivodriver::ListAlbumsOf(main, kDemoUin, kJobTimeoutMs, error)) << error;
  ASSERT_TRUE(fetchtest::InstallFault("host=photo.kivo.test&path=/900002/h1/cover.jpg&action=status&code=404"));
  ASSERT_TRUE(kivodriver::ListAlbumsOf(main, kUin, kJobTimeoutMs, error)) << error;
  EXPECT_TRUE(IsWhiteBmp(ReadFile(folder + "tmp\\0.bmp"), 100, 100)) << "the failed cover shows another picture";

  const std::vector<AlbumInfo> served = ServedAlbums(kUin);
  std::vector<kivodriver::ListItem> items;
  ASSERT_TRUE(kivodriver::ReadListView(::GetDlgItem(main, kivodriver::kAlbumList), items));
  ASSERT_EQ(served.size(), items.size());
  ASSERT_TRUE(kivodriver::DownloadTicked(program.Id(), main, false, kJobTimeoutMs, error)) << error;

  // Every photo is saved once, whole, inside the member folder.
  const std::string member = folder + kUin + "\\";
  std::map<std::string, std::string> files;
  CollectFiles(member, "", files);
  std::multiset<std::string> expected, found;
  std::size_t photos = 0;
  for (const AlbumInfo& album : served) {
    for (const PhotoInfo& photo : ServedPhotos(kUin, album.id)) {
      expected.insert(fetchtest::ServedContent(photo.origin_url));
      ++photos;
    }
  }
  for (const auto& file : files)
    found.insert(file.second);
  EXPECT_EQ(36u, photos);
  EXPECT_EQ(photos, files.size());
  EXPECT_TRUE(expected == found) << "the files on disk are not the photos served";
  EXPECT_EQ(served.size(), e2e::FolderEntries(member).size()) << "albums shared a folder";
  EXPECT_EQ(outsideBefore, e2e::FolderEntries(outside)) << "something was written beside the program's folder";
  std::vector<std::string> work = e2e::FolderEntries(folder);
  EXPECT_EQ((std::vector<std::string>{kUin, "KivoAlbum.exe", "SkinH.dll", "skin.dat", "tmp"}), work);

  // Names that Windows takes as they are stay as they are.
  for (const char* kept : {"運動會億\\照片16.jpg", "西湖\\照片17.jpg", "照片名\\運億.jpg", "照片名\\..jpg",
                           "照片名\\...jpg", "照片名\\结尾点..jpg", "照片名\\重名.jpg", "照片名\\Same.jpg"})
    EXPECT_EQ(1u, files.count(kept)) << kivodriver::AnsiToUtf8(kept);
  std::string log = kivodriver::LogText(main);
  EXPECT_NE(std::string::npos, log.find("共保存36张图片，0张下载失败")) << kivodriver::AnsiToUtf8(log);
  EXPECT_NE(std::string::npos, log.find("文件已存在或者文件名含有非法字符，重新创建文件名："));
  EXPECT_NE(std::string::npos, log.find("相册[CON]改存到文件夹："));
}

TEST(AlbumJob, EveryPhotoIsSavedWholeOrNamedAsFailedWhileTheWindowKeepsAnswering) {
  const std::string folder = InstallCopy("faults");
  const std::string base = std::string("http://photo.kivo.test/") + kFaultUin + "/f1/";
  struct Case {
    const char* photo;        // its name in the scenario
    const char* originFault;  // rule for the full-size picture, "" for none
    const char* smallFault;   // rule for the small one
    enum { kOrigin, kSmall, kOversize, kFailed } outcome;
  } cases[] = {
      {"中途断开", "action=drop&after=1000", "", Case::kSmall},
      {"连接重置", "action=drop&after=1000&reset=1", "", Case::kSmall},
      {"先停后答", "action=stall&seconds=3", "", Case::kOrigin},
      {"原图404", "action=status&code=404", "", Case::kSmall},
      {"都是500", "action=status&code=500", "action=status&code=500", Case::kFailed},
      {"重定向循环", "action=redirect&location=SELF", "", Case::kSmall},
      {"原图为空", "action=body&body=", "", Case::kSmall},
      {"都为空", "action=body&body=", "action=body&body=", Case::kFailed},
      {"超大原图", "action=oversize&size=8000000&seed=5", "", Case::kOversize},
      {"都失败", "action=hangup", "action=drop&after=100", Case::kFailed},
      {"正常", "", "", Case::kOrigin},
  };
  const int n = static_cast<int>(sizeof cases / sizeof cases[0]);
  for (int k = 1; k <= n; ++k) {
    const Case& c = cases[k - 1];
    std::string origin = base + std::to_string(k) + ".jpg", small = base + "small/" + std::to_string(k) + ".jpg";
    for (auto [rule, url] : {std::make_pair(std::string(c.originFault), origin), std::make_pair(std::string(c.smallFault), small)}) {
      if (rule.empty())
        continue;
      std::size_t self = rule.find("SELF");
      if (self != std::string::npos)
        rule.replace(self, 4, fetchtest::PercentEncode(url));
      ASSERT_TRUE(fetchtest::InstallFault("url=" + fetchtest::PercentEncode(url) + "&" + rule)) << rule;
    }
  }

  Program program;
  HWND main = program.StartAndWait(folder);
  ASSERT_NE(nullptr, main);
  std::string error;
  // Its one cover is a small PNG of 20000 x 20000 pixels: a white tile, and the listing goes on.
  ASSERT_TRUE(kivodriver::ListAlbumsOf(main, kFaultUin, kJobTimeoutMs, error)) << error;
  std::vector<kivodriver::ListItem> items;
  ASSERT_TRUE(kivodriver::ReadListView(::GetDlgItem(main, kivodriver::kAlbumList), items));
  ASSERT_EQ(1u, items.size());
  EXPECT_TRUE(IsWhiteBmp(ReadFile(folder + "tmp\\0.bmp"), 100, 100));

  ResponsivenessProbe probe(main);
  ASSERT_TRUE(kivodriver::DownloadTicked(program.Id(), main, false, kJobTimeoutMs, error)) << error;
  probe.Stop();
  EXPECT_EQ(0, probe.failures());
  EXPECT_LT(probe.longest(), 1000u) << "the window stopped answering";

  const std::string album = folder + kFaultUin + "\\故障矩阵\\";
  const std::string log = kivodriver::LogText(main);
  for (int k = 1; k <= n; ++k) {
    const Case& c = cases[k - 1];
    std::string file = album + c.photo + ".jpg";
    std::string failedLine = std::string("图片下载失败：") + c.photo;
    switch (c.outcome) {
      case Case::kOrigin:
      case Case::kSmall: {
        std::string url = base + (c.outcome == Case::kSmall ? "small/" : "") + std::to_string(k) + ".jpg";
        EXPECT_TRUE(ReadFile(file) == fetchtest::ServedContent(url)) << kivodriver::AnsiToUtf8(c.photo);
        break;
      }
      case Case::kOversize:
        EXPECT_TRUE(ReadFile(file) == fetchtest::PatternBytes(8000000, 5)) << kivodriver::AnsiToUtf8(c.photo);
        break;
      case Case::kFailed:
        EXPECT_FALSE(fetchtest::FileExists(file)) << kivodriver::AnsiToUtf8(c.photo);
        EXPECT_NE(std::string::npos, log.find(failedLine)) << kivodriver::AnsiToUtf8(c.photo);
        continue;
    }
    EXPECT_EQ(std::string::npos, log.find(failedLine)) << kivodriver::AnsiToUtf8(c.photo);
  }
  EXPECT_EQ(8u, e2e::FolderEntries(album).size());
  EXPECT_NE(std::string::npos, log.find("该图片下载超时，正在尝试为您下载小图片"));
  EXPECT_NE(std::string::npos, log.find("共保存8张图片，3张下载失败")) << kivodriver::AnsiToUtf8(log);
}

TEST(AlbumJob, ClosingTheWindowInTheMiddleOfAJobEndsTheProgramCleanly) {
  const std::string folder = InstallCopy("close");
  for (int round = 0; round < 3; ++round) {
    for (bool duringDownload : {false, true}) {
      SCOPED_TRACE(std::string(duringDownload ? "download" : "listing") + " round " + std::to_string(round));
      Program program;
      HWND main = program.StartAndWait(folder);
      ASSERT_NE(nullptr, main);
      std::string error;
      if (duringDownload) {
        ASSERT_TRUE(kivodriver::ListAlbumsOf(main, kDemoUin, kJobTimeoutMs, error)) << error;
        ASSERT_TRUE(fetchtest::InstallFault("host=photo.kivo.test&path=/480215937/1/2.*&action=stall&seconds=3&times=1"));
        kivodriver::Click(::GetDlgItem(main, kivodriver::kDownloadButton));
        ASSERT_TRUE(kivodriver::WaitForLog(main, "正在下载[", 30000));
      } else {
        ASSERT_TRUE(fetchtest::InstallFault("host=photo.kivo.test&path=/480215937/*/cover.*&action=stall&seconds=3&times=1"));
        kivodriver::Click(::GetDlgItem(main, kivodriver::kViewButton));
        ASSERT_TRUE(kivodriver::WaitForLog(main, "正在获取 ", 30000));
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(main, kivodriver::kLoginFinished, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        ASSERT_TRUE(kivodriver::WaitForLog(main, "共有 5 个相册", 30000));
      }
      ::Sleep(200 * round);
      ::PostMessageA(main, WM_CLOSE, 0, 0);
      DWORD exitCode = 1;
      ASSERT_TRUE(program.Ended(10000, &exitCode)) << "the program hangs";
      EXPECT_EQ(0u, exitCode);
    }
  }
}

}  // namespace
