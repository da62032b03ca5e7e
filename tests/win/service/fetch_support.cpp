#include "fetch_support.h"

#include <wininet.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>

#include "service/internet_handle_win.h"

namespace fetchtest {

namespace {

using Internet = kivo::InternetHandle;

const char kControl[] = "http://control.kivo.test/__control/";

}  // namespace

std::string FetchUrl(const std::string& path_and_query) {
  return "http://fetch.kivo.test" + path_and_query;
}

std::string Token() {
  static std::atomic<int> next{0};
  // Closed at both ends, so that no token is a part of another.
  return "t" + std::to_string(::GetCurrentProcessId()) + "n" + std::to_string(++next) + "z";
}

std::string PercentEncode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

Reply BareGet(const std::string& url) {
  Reply reply;
  Internet session(::InternetOpenA("kivo-fetch-test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session)
    return reply;
  Internet request(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0,
                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request)
    return reply;
  DWORD status = 0, size = sizeof status;
  if (!::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    return reply;
  std::string body;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &got))
      return reply;
    if (got == 0)
      break;
    body.append(buffer, got);
  }
  reply.status = status;
  reply.body = body;
  return reply;
}

bool InstallFault(const std::string& rule) {
  Reply reply = BareGet(std::string(kControl) + "fault?" + rule);
  return reply.status == 200 && reply.body.find("\"installed\"") != std::string::npos;
}

std::string ServedContent(const std::string& url) {
  return BareGet(std::string(kControl) + "content?url=" + PercentEncode(url)).body;
}

std::string LastIssuedCode() {
  std::string json = BareGet(std::string(kControl) + "verify").body;
  std::size_t at = json.rfind("\"code\": \"");
  std::size_t skip = 9;
  if (at == std::string::npos) {
    at = json.rfind("\"code\":\"");
    skip = 8;
  }
  if (at == std::string::npos)
    return std::string();
  std::size_t end = json.find('"', at + skip);
  return json.substr(at + skip, end - at - skip);
}

std::vector<std::string> LoggedRequests(const std::string& host, const std::string& path) {
  std::string json =
      BareGet(std::string(kControl) + "requests?host=" + PercentEncode(host) + "&path=" + PercentEncode(path)).body;
  // The log is an array of flat objects; braces inside strings do not count.
  std::vector<std::string> entries;
  bool in_string = false, escaped = false;
  std::size_t start = std::string::npos;
  for (std::size_t i = 0; i < json.size(); ++i) {
    char c = json[i];
    if (in_string) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{') {
      start = i;
    } else if (c == '}' && start != std::string::npos) {
      entries.push_back(json.substr(start, i - start + 1));
      start = std::string::npos;
    }
  }
  return entries;
}

bool LoggedField(const std::string& entry, const std::string& key, std::string& value) {
  std::size_t at = entry.find("\"" + key + "\":");
  if (at == std::string::npos)
    return false;
  at = entry.find_first_not_of(' ', at + key.size() + 3);
  if (at == std::string::npos || entry[at] != '"')
    return false;  // null, or not a string
  value.clear();
  for (std::size_t i = at + 1; i < entry.size(); ++i) {
    if (entry[i] == '"')
      return true;
    if (entry[i] == '\\' && i + 1 < entry.size())
      ++i;  // only ASCII texts are looked at: the escaped character itself will do
    value += entry[i];
  }
  return false;
}

std::string PatternBytes(std::size_t n, std::uint32_t seed) {
  const std::size_t period = 65521;
  std::vector<unsigned char> table(period);
  std::uint32_t s = seed;
  for (std::size_t j = 0; j < period; ++j) {
    s = s * 1664525u + 1013904223u;
    table[j] = static_cast<unsigned char>(s >> 24);
  }
  std::string bytes(n, '\0');
  for (std::size_t k = 0; k < n; ++k)
    bytes[k] = static_cast<char>(table[k % period] ^ ((k >> 16) & 0xFF));
  return bytes;
}

std::string WithoutLineEnds(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    if (c != '\r' && c != '\n')
      out += c;
  }
  return out;
}

std::string TestFolder(const std::string& name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "kivo-fetch-" + std::to_string(::GetCurrentProcessId()) + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  folder += name + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

ImportHook::ImportHook(const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress)
    return;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    if (::lstrcmpiA(reinterpret_cast<char*>(base + imp->Name), dll) != 0)
      continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
        continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(by_name->Name), function) != 0)
        continue;
      void** slot = reinterpret_cast<void**>(&slots->u1.Function);
      DWORD old;
      if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return;
      original_ = *slot;
      *slot = replacement;
      ::VirtualProtect(slot, sizeof *slot, old, &old);
      slot_ = slot;
      return;
    }
  }
}

ImportHook::~ImportHook() {
  if (!slot_)
    return;
  DWORD old;
  ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
  *slot_ = original_;
  ::VirtualProtect(slot_, sizeof *slot_, old, &old);
}

}  // namespace fetchtest
