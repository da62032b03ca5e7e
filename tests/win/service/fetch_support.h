// What the fetch tests need around the code under test: the stand-in service's control
// requests and reference bodies (read with a bare WinINet loop of their own, so that a
// fault of the fetch cannot hide itself), files, and hooks on the program's imports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fetchtest {

// "http://fetch.kivo.test" + path_and_query.
std::string FetchUrl(const std::string& path_and_query);

// A text no other request of this run has in its query, for matching faults and log entries.
std::string Token();

std::string PercentEncode(const std::string& text);

struct Reply {
  DWORD status = 0;  // 0: no answer
  std::string body;
};
// A GET through the proxy, body byte for byte, never from the cache.
Reply BareGet(const std::string& url);

// Installs one fault rule on the stand-in ("action=drop&after=10&query=TOKEN&..."). False
// when the service refused it.
bool InstallFault(const std::string& rule);

// The exact body the service serves at url.
std::string ServedContent(const std::string& url);

// The code of the last verification picture the service handed out.
std::string LastIssuedCode();

// The request log entries on host and path, each an object's JSON text.
std::vector<std::string> LoggedRequests(const std::string& host, const std::string& path);
// A string field of a log entry; false when it is missing or null.
bool LoggedField(const std::string& entry, const std::string& key, std::string& value);

// The bytes of the fetch host's /bytes?n=N&seed=S.
std::string PatternBytes(std::size_t n, std::uint32_t seed);
std::string WithoutLineEnds(const std::string& bytes);

// A fresh folder of the test program's own, with a trailing backslash.
std::string TestFolder(const std::string& name);
bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Points this program's import of dll!function at replacement until destroyed. The code
// under test is linked into the program, so its calls go through that import.
class ImportHook {
 public:
  ImportHook(const char* dll, const char* function, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;
  bool installed() const { return slot_ != nullptr; }
  void* original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace fetchtest
