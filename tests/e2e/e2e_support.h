// What every end-to-end test needs around the real program: a copy of it in a folder of its
// own, its process, files, and screenshots for the test artifacts.
#pragma once

#include "kivo_driver.h"

#include <string>
#include <vector>

namespace e2e {

extern const char kTitle[];
constexpr int kStartTimeoutMs = 20000;

std::string Environment(const char* name);
std::string ReadFile(const std::string& path);
// The folder of this test program, with a trailing backslash.
std::string OwnFolder();
// The build's program.
std::string BuiltProgram();
// A fresh folder holding a copy of the program, as a user who unpacked it would have it.
std::string InstallCopy(const char* name);
// The names in a folder (not "." and ".."), sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
// A screenshot of the display into the test artifacts, when the run keeps them.
void SaveScreenshot(const std::string& name);

class Program {
 public:
  Program() = default;
  ~Program() { kivodriver::Terminate(process_); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Start(const std::string& folder) { return kivodriver::Launch(folder + "KivoAlbum.exe", "", process_); }
  // Starts the program in folder and waits for its main window; null when it did not show.
  HWND StartAndWait(const std::string& folder);
  DWORD Id() const { return process_.id; }
  bool Ended(int timeoutMs, DWORD* exitCode) const { return kivodriver::WaitForExit(process_, timeoutMs, exitCode); }

 private:
  kivodriver::Process process_;
};

}  // namespace e2e
