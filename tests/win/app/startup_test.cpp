// Writing the embedded files and attaching the skin engine.
#include "app/extract_resource.h"
#include "app/skin_loader.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/win_app.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ResourceBytes(unsigned id) {
  HRSRC info = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), "SKIN");
  if (!info)
    return std::string();
  const char* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, info)));
  return std::string(data, ::SizeofResource(nullptr, info));
}

// A fresh folder of the test's own, with a trailing backslash.
std::string MakeFolder(const char* name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  // Wine reuses process ids: the time keeps a later run out of an earlier run's folder.
  std::string folder = std::string(temp) + "kivo-startup-" + name + "-" + std::to_string(::GetCurrentProcessId()) +
                       "-" + std::to_string(::GetTickCount()) + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

TEST(ExtractResourceToFile, WritesTheResourceAndReplacesWhatWasThere) {
  std::string folder = MakeFolder("write");
  std::string path = folder + "skin.dat";
  ASSERT_FALSE(ResourceBytes(IDR_SKIN_DATA).empty());

  EXPECT_TRUE(ExtractResourceToFile(path, IDR_SKIN_DATA, "Skin"));
  EXPECT_EQ(ResourceBytes(IDR_SKIN_DATA), ReadFile(path));

  // An earlier, longer file is replaced whole, not overwritten in place.
  WriteFile(path, std::string(100000, 'x'));
  EXPECT_TRUE(ExtractResourceToFile(path, IDR_SKIN_DATA, "Skin"));
  EXPECT_EQ(ResourceBytes(IDR_SKIN_DATA), ReadFile(path));
}

TEST(ExtractResourceToFile, AnExistingFileThatCannotBeOpenedCountsAsDone) {
  std::string folder = MakeFolder("locked");
  std::string path = folder + "SkinH.dll";
  WriteFile(path, "earlier copy");
  // Held without sharing, as a library another running copy has loaded.
  kivo::ScopedHandle lock(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.valid());
  EXPECT_TRUE(ExtractResourceToFile(path, IDR_SKIN_LIBRARY, "Skin"));
  lock.reset();
  EXPECT_EQ("earlier copy", ReadFile(path));
}

TEST(ExtractResourceToFile, FailsWhenTheFileCanBeNeitherWrittenNorFound) {
  std::string path = MakeFolder("missing") + "no such folder\\SkinH.dll";
  EXPECT_FALSE(ExtractResourceToFile(path, IDR_SKIN_LIBRARY, "Skin"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str()));
}

TEST(ExtractResourceToFile, AMissingResourceLeavesAnEarlierFileAlone) {
  std::string path = MakeFolder("noresource") + "skin.dat";
  WriteFile(path, "earlier copy");
  EXPECT_FALSE(ExtractResourceToFile(path, 4242, "Skin"));
  EXPECT_EQ("earlier copy", ReadFile(path));
}

// The colour answer the about box's face gets, and the text colour set with it.
struct FaceAnswer {
  COLORREF brushColour;
  bool systemBrush;
  COLORREF labelText;
};

FaceAnswer AskTheFace() {
  kivo::CDialog dialog(IDD_ABOUTBOX);
  FaceAnswer answer{};
  if (!dialog.Create(nullptr))
    return answer;
  HWND hwnd = dialog.GetSafeHwnd();
  kivo::ScopedWindowDc dc(hwnd);
  auto brush = reinterpret_cast<HBRUSH>(
      ::SendMessageA(hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(hwnd)));
  LOGBRUSH info{};
  ::GetObjectA(brush, sizeof(info), &info);
  answer.brushColour = info.lbColor;
  answer.systemBrush = brush == ::GetSysColorBrush(COLOR_BTNFACE);
  HWND label = ::GetWindow(hwnd, GW_CHILD);
  while (label && ::GetWindowLongPtrA(label, GWL_STYLE) & SS_ICON)
    label = ::GetWindow(label, GW_HWNDNEXT);
  ::SetTextColor(dc.get(), RGB(1, 2, 3));
  ::SendMessageA(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(label));
  answer.labelText = ::GetTextColor(dc.get());
  dialog.DestroyWindow();
  return answer;
}

TEST(SkinEngine, AMissingBrokenOrCorruptSkinChangesNothingAndAGoodOneShows) {
  std::string folder = MakeFolder("skin");
  std::string library = folder + "SkinH.dll";
  std::string skin = folder + "skin.dat";

  EXPECT_FALSE(AttachSkinEngine(library, skin)) << "no library yet";
  WriteFile(library, "not a program library");
  EXPECT_FALSE(AttachSkinEngine(library, skin));
  EXPECT_TRUE(AskTheFace().systemBrush);

  ASSERT_TRUE(ExtractResourceToFile(library, IDR_SKIN_LIBRARY, "Skin"));
  kivo::ScopedModule module(::LoadLibraryA(library.c_str()));
  ASSERT_TRUE(module.valid());
  using AttachFn = int(WINAPI*)(const char*, const char*);
  auto attach = reinterpret_cast<AttachFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "SkinH_AttachEx")));
  ASSERT_NE(nullptr, attach);

  EXPECT_EQ(1, attach(skin.c_str(), nullptr)) << "no skin file";
  WriteFile(skin, "KIVOSKIN 1\ndialog.background = 300 0 0\ntext.colour = 1 2 3\n");
  EXPECT_EQ(2, attach(skin.c_str(), nullptr)) << "corrupt skin file";
  EXPECT_TRUE(AttachSkinEngine(library, skin)) << "the entry point is called whatever it answers";
  FaceAnswer plain = AskTheFace();
  EXPECT_TRUE(plain.systemBrush);
  EXPECT_EQ(::GetSysColor(COLOR_WINDOWTEXT), plain.labelText);

  ASSERT_TRUE(ExtractResourceToFile(skin, IDR_SKIN_DATA, "Skin"));
  EXPECT_TRUE(AttachSkinEngine(library, skin));
  FaceAnswer skinned = AskTheFace();
  EXPECT_FALSE(skinned.systemBrush);
  EXPECT_EQ(RGB(234, 242, 251), skinned.brushColour);
  EXPECT_EQ(RGB(24, 52, 96), skinned.labelText);
  EXPECT_EQ(3, attach(skin.c_str(), nullptr)) << "attached once only";
}

}  // namespace
