// Stands in for a version of the program in the update tests: when it starts, it appends
// one line "TAG|its own path" to marks.txt beside itself and ends. TAG is the text after
// the last "KIVOTAG:" in its own file, which a test appends to a copy to tell copies apart.
#include <windows.h>

#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<char> own(32768);
  DWORD length = ::GetModuleFileNameA(nullptr, own.data(), static_cast<DWORD>(own.size()));
  if (length == 0 || length >= own.size())
    return 1;
  std::string path(own.data(), length);

  std::string bytes;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
      bytes.append(buffer, got);
    ::CloseHandle(file);
  }
  std::string tag = "untagged";
  std::size_t at = bytes.rfind("KIVOTAG:");
  if (at != std::string::npos)
    tag = bytes.substr(at + 8);

  std::string line = tag + "|" + path + "\r\n";
  std::string marks = path.substr(0, path.find_last_of('\\') + 1) + "marks.txt";
  HANDLE out = ::CreateFileA(marks.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return 1;
  DWORD written = 0;
  ::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(out);
  return 0;
}
