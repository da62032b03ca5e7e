// The WinINet fetch against the stand-in service, reached as the HTTP proxy.
#include "service/http_fetch.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "build_config.h"
#include "service/internet_handle_win.h"
#include "fetch_support.h"

namespace {

using namespace fetchtest;

const char kSevenBytes[] = "/body?hex=610d0a620a0a63";  // a CR LF b LF LF c

TEST(HttpGetText, AppendsBodiesWithoutTheirLineEnds) {
  std::string text = "held:";
  EXPECT_EQ(200u, HttpGetText(FetchUrl(kSevenBytes), text));
  EXPECT_EQ("held:abc", text);
  // A second call goes on behind the first body.
  EXPECT_EQ(200u, HttpGetText(FetchUrl("/body?hex=0d640a65"), text));
  EXPECT_EQ("held:abcde", text);
}

// Several reads, line ends on either side of a read's end, with and without a length.
TEST(HttpGetText, LongBodyArrivesWholeAcrossReads) {
  const std::string expected = WithoutLineEnds(PatternBytes(3000000, 7));
  for (bool with_length : {true, false}) {
    SCOPED_TRACE(with_length ? "Content-Length" : "no Content-Length");
    std::string token = Token();
    if (!with_length) {
      ASSERT_TRUE(InstallFault("host=fetch.kivo.test&path=/bytes&action=no-length&query=" + token));
    }
    std::string text;
    EXPECT_EQ(200u, HttpGetText(FetchUrl("/bytes?n=3000000&seed=7&k=" + token), text));
    EXPECT_TRUE(text == expected) << "got " << text.size() << " bytes, want " << expected.size();
  }
}

TEST(HttpFetch, EmptyBodyAppendsNothingAndLeavesAnEmptyFile) {
  std::string text = "held";
  EXPECT_EQ(200u, HttpGetText(FetchUrl("/empty"), text));
  EXPECT_EQ("held", text);

  std::string folder = TestFolder("empty");
  EXPECT_EQ(200u, HttpGetFile(FetchUrl("/empty"), folder + "new.jpg"));
  EXPECT_TRUE(FileExists(folder + "new.jpg"));
  EXPECT_EQ("", ReadFileBytes(folder + "new.jpg"));
  // An earlier file is truncated, not written over in place.
  WriteFileBytes(folder + "old.jpg", "earlier content");
  EXPECT_EQ(200u, HttpGetFile(FetchUrl("/empty"), folder + "old.jpg"));
  EXPECT_EQ("", ReadFileBytes(folder + "old.jpg"));
}

TEST(HttpFetch, ErrorStatusIsReturnedAndNothingIsWritten) {
  std::string folder = TestFolder("status");
  for (int code : {404, 500}) {
    SCOPED_TRACE(code);
    std::string url = FetchUrl("/status?code=" + std::to_string(code));
    std::string text = "held";
    EXPECT_EQ(static_cast<std::uint32_t>(code), HttpGetText(url, text));
    EXPECT_EQ("held", text);

    std::string fresh = folder + "fresh" + std::to_string(code) + ".jpg";
    EXPECT_EQ(static_cast<std::uint32_t>(code), HttpGetFile(url, fresh));
    EXPECT_FALSE(FileExists(fresh));
    std::string kept = folder + "kept" + std::to_string(code) + ".jpg";
    WriteFileBytes(kept, "earlier content");
    EXPECT_EQ(static_cast<std::uint32_t>(code), HttpGetFile(url, kept));
    EXPECT_EQ("earlier content", ReadFileBytes(kept));
  }
}

TEST(HttpFetch, RedirectsAreFollowedToTheFinalAnswer) {
  std::string folder = TestFolder("redirect");
  std::string to_body = FetchUrl("/redirect?to=" + PercentEncode(FetchUrl(kSevenBytes)));
  std::string text;
  EXPECT_EQ(200u, HttpGetText(to_body, text));
  EXPECT_EQ("abc", text);
  std::string to_bytes = FetchUrl("/redirect?code=301&to=" + PercentEncode(FetchUrl("/bytes?n=5000&seed=3")));
  EXPECT_EQ(200u, HttpGetFile(to_bytes, folder + "moved.jpg"));
  EXPECT_TRUE(ReadFileBytes(folder + "moved.jpg") == PatternBytes(5000, 3));

  // The status is the final answer's.
  std::string to_missing = FetchUrl("/redirect?to=" + PercentEncode(FetchUrl("/status?code=404")));
  text = "held";
  EXPECT_EQ(404u, HttpGetText(to_missing, text));
  EXPECT_EQ("held", text);
  EXPECT_EQ(404u, HttpGetFile(to_missing, folder + "missing.jpg"));
  EXPECT_FALSE(FileExists(folder + "missing.jpg"));
}

// Each case is a fault on its own /bytes URL that redirects it (times: how often; 0 for
// ever) to location, or a Location the fetch host answers with.
struct Redirect {
  const char* what;
  std::string rule;     // fault on the case's own request, "" for none
  std::string path;     // on the fetch host; TOKEN stands for the case's token
  std::uint32_t status;  // what both fetches return
  std::string body;     // the final body when the status is 200
};

std::string WithToken(std::string text, const std::string& token) {
  for (std::size_t at; (at = text.find("TOKEN")) != std::string::npos;)
    text.replace(at, 5, token);
  return text;
}

std::vector<Redirect> Redirects() {
  const std::string bytes = PatternBytes(4000, 5);
  const std::string self = PercentEncode(FetchUrl("/bytes?n=4000&seed=5&k=TOKEN"));
  std::vector<Redirect> cases;
  for (int code : {301, 302, 303, 307, 308}) {
    cases.push_back({"one hop", "",
                     "/redirect?code=" + std::to_string(code) + "&k=TOKEN&to=" + self, 200, bytes});
  }
  cases.push_back({"Location with an absolute path", "",
                   "/redirect?k=TOKEN&to=" + PercentEncode("/bytes?n=4000&seed=5"), 200, bytes});
  cases.push_back({"Location relative to the path", "",
                   "/redirect?k=TOKEN&to=" + PercentEncode("bytes?n=4000&seed=5"), 200, bytes});
  cases.push_back({"Location without a scheme", "",
                   "/redirect?k=TOKEN&to=" + PercentEncode("//fetch.kivo.test/bytes?n=4000&seed=5"), 200, bytes});
  cases.push_back({"redirect status without a Location", "", "/status?code=302&k=TOKEN", 302, ""});
  cases.push_back({"ten hops", "action=redirect&times=10&location=" + self, "/bytes?n=4000&seed=5&k=TOKEN", 200,
                   bytes});
  cases.push_back({"eleven hops", "action=redirect&times=11&location=" + self, "/bytes?n=4000&seed=5&k=TOKEN",
                   FETCH_FAILED, ""});
  cases.push_back({"to itself for ever", "action=redirect&location=" + self, "/bytes?n=4000&seed=5&k=TOKEN",
                   FETCH_FAILED, ""});
  cases.push_back({"to a local file", "", "/redirect?k=TOKEN&to=" + PercentEncode("file:///C:/windows/win.ini"),
                   FETCH_FAILED, ""});
  return cases;
}

// Under Wine, WinINet follows a URL that redirects to itself for ever and the call never
// returns; a chain is followed up to a bound like Windows' own, and what goes past it
// fails below HTTP, reading nothing.
TEST(HttpFetch, RedirectsAreFollowedUpToABound) {
  std::string folder = TestFolder("redirects");
  int n = 0;
  for (const Redirect& c : Redirects()) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.path);
    // Text and file each get a token, and so a fault, of their own.
    std::string token = Token();
    if (!c.rule.empty()) {
      ASSERT_TRUE(InstallFault("host=fetch.kivo.test&query=" + token + "&" + WithToken(c.rule, token)));
    }
    std::string url = FetchUrl(WithToken(c.path, token));
    std::string text = "held:";
    EXPECT_EQ(c.status, HttpGetText(url, text));
    EXPECT_TRUE(text == "held:" + (c.status == 200 ? WithoutLineEnds(c.body) : std::string()))
        << "got " << text.size() << " bytes";

    std::string file_token = Token();
    if (!c.rule.empty()) {
      ASSERT_TRUE(InstallFault("host=fetch.kivo.test&query=" + file_token + "&" + WithToken(c.rule, file_token)));
    }
    std::string path = folder + std::to_string(++n) + ".jpg";
    WriteFileBytes(path, "earlier content");
    EXPECT_EQ(c.status, HttpGetFile(FetchUrl(WithToken(c.path, file_token)), path));
    EXPECT_TRUE(ReadFileBytes(path) == (c.status == 200 ? c.body : std::string("earlier content")));
  }
}

// A loop costs a bounded number of requests, not thousands.
TEST(HttpFetch, RedirectLoopSendsABoundedNumberOfRequests) {
  std::string token = Token();
  std::string url = FetchUrl("/bytes?n=10&k=" + token);
  ASSERT_TRUE(InstallFault("host=fetch.kivo.test&query=" + token + "&action=redirect&location=" + PercentEncode(url)));
  std::string text;
  EXPECT_EQ(FETCH_FAILED, HttpGetText(url, text));
  std::size_t sent = 0;
  for (const std::string& entry : LoggedRequests("fetch.kivo.test", "/bytes"))
    sent += entry.find(token) != std::string::npos;
  EXPECT_GE(sent, 2u);
  EXPECT_LE(sent, 12u);
}

// The login server sets its cookie on a redirect to another host: the cookie is kept,
// goes with the request the redirect leads to, and with later ones of other sessions.
TEST(HttpFetch, CookieSetByARedirectGoesWithTheRequestsAfterIt) {
  std::string value = Token();
  std::string first = Token(), later = Token();
  std::string login = "http://" + std::string(kivo::config::kLoginHost) + "/login?uin=" + value +
                      "&next=" + PercentEncode(FetchUrl("/echo?k=" + first));
  std::string text;
  ASSERT_EQ(200u, HttpGetText(login, text));
  EXPECT_NE(std::string::npos, text.find("/echo?k=" + first)) << text;
  EXPECT_EQ(200u, HttpGetFile(FetchUrl("/echo?k=" + later), TestFolder("login") + "echo.txt"));
  for (const std::string& token : {first, later}) {
    SCOPED_TRACE(token);
    int seen = 0;
    for (const std::string& entry : LoggedRequests("fetch.kivo.test", "/echo")) {
      if (entry.find(token) == std::string::npos)
        continue;
      ++seen;
      std::string cookie;
      EXPECT_TRUE(LoggedField(entry, "cookie", cookie)) << entry;
      EXPECT_NE(std::string::npos, cookie.find("kivo_login=" + value)) << cookie;
    }
    EXPECT_EQ(1, seen);
  }
}

// --- a host that does not resolve --------------------------------------------------------
// Through the proxy every host name reaches the stand-in, which answers 404 for names it
// does not know. So the fetches run in a child copy of this program whose environment has
// no http_proxy: there WinINet connects directly and resolves the name for real.

const char kChildFlag[] = "--unresolved-host-child";
const char kUnresolvedHost[] = "http://no-such-host.invalid";

using Kernel = kivo::FileHandle;  // any kernel handle

int RunUnresolvedHostChild(const std::string& path) {
  std::string text = "held";
  std::uint32_t text_status = HttpGetText(std::string(kUnresolvedHost) + "/card", text);
  std::uint32_t file_status = HttpGetFile(std::string(kUnresolvedHost) + "/1.jpg", path);
  std::printf("%lu %lu %s\n", static_cast<unsigned long>(text_status),
              static_cast<unsigned long>(file_status), text.c_str());
  std::fflush(stdout);
  return 0;
}

// The process environment without http_proxy, as CreateProcess takes it.
std::string EnvironmentWithoutProxy() {
  std::string block;
  char* strings = ::GetEnvironmentStringsA();
  for (const char* p = strings; *p; p += std::strlen(p) + 1) {
    if (_strnicmp(p, "http_proxy=", 11) != 0)
      block.append(p, std::strlen(p) + 1);
  }
  ::FreeEnvironmentStringsA(strings);
  return block + '\0';
}

std::string RunChild(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inherit, 0))
    return "no pipe";
  Kernel reader(read_end), writer(write_end);
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = "\"" + std::string(self) + "\" " + kChildFlag + " \"" + path + "\"";
  std::string environment = EnvironmentWithoutProxy();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, &environment[0], nullptr, &startup, &info))
    return "no child";
  Kernel process(info.hProcess), thread(info.hThread);
  writer.reset();
  std::string output;
  char buffer[512];
  DWORD got = 0;
  while (::ReadFile(reader.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    output.append(buffer, got);
  if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0)
    ::TerminateProcess(process.get(), 1);
  return output;
}

TEST(HttpFetch, HostThatDoesNotResolveFailsBelowHttp) {
  std::string path = TestFolder("unresolved") + "1.jpg";
  std::string output = RunChild(path);
  unsigned long text_status = 0, file_status = 0;
  char text[64] = "";
  ASSERT_EQ(3, std::sscanf(output.c_str(), "%lu %lu %63s", &text_status, &file_status, text)) << output;
  EXPECT_EQ(FETCH_FAILED, text_status);
  EXPECT_EQ(FETCH_FAILED, file_status);
  EXPECT_STREQ("held", text);
  EXPECT_FALSE(FileExists(path));
}

// --- files ------------------------------------------------------------------------------

struct ReadLog {
  DWORD largest_request = 0;
  int reads_with_data = 0;
  unsigned long long bytes = 0;
} g_reads;
ImportHook* g_read_hook = nullptr;

BOOL WINAPI CountingRead(HINTERNET file, LPVOID buffer, DWORD wanted, LPDWORD got) {
  auto real = reinterpret_cast<decltype(&::InternetReadFile)>(g_read_hook->original());
  BOOL ok = real(file, buffer, wanted, got);
  if (wanted > g_reads.largest_request)
    g_reads.largest_request = wanted;
  if (ok && *got > 0) {
    ++g_reads.reads_with_data;
    g_reads.bytes += *got;
  }
  return ok;
}

TEST(HttpGetFile, WritesALargeBodyExactlyInReadsOfAtMostOneMebibyte) {
  std::string path = TestFolder("large") + "3000000.jpg";
  g_reads = ReadLog();
  {
    ImportHook hook("wininet.dll", "InternetReadFile", reinterpret_cast<void*>(&CountingRead));
    ASSERT_TRUE(hook.installed());
    g_read_hook = &hook;
    EXPECT_EQ(200u, HttpGetFile(FetchUrl("/bytes?n=3000000&seed=11"), path));
    g_read_hook = nullptr;
  }
  std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(3000000u, bytes.size());
  EXPECT_TRUE(bytes == PatternBytes(3000000, 11));
  EXPECT_EQ(3000000u, g_reads.bytes);
  EXPECT_LE(g_reads.largest_request, 1048576u);
  EXPECT_GE(g_reads.reads_with_data, 3);
}

// Fetches on several threads at once, as the listing, the download and the update check
// make them: each file gets its own body whole, with no bytes of another.
TEST(HttpGetFile, FetchesAtTheSameTimeEachWriteTheirOwnBody) {
  std::string folder = TestFolder("parallel");
  constexpr int kThreads = 4, kEach = 3;
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &folder, &wrong] {
      for (int k = 0; k < kEach; ++k) {
        std::uint32_t seed = 100 + t * kEach + k;
        std::size_t size = 2000000 - 300000 * k;  // smaller each time: old bytes would show
        std::string path = folder + std::to_string(seed) + ".jpg";
        std::string url = FetchUrl("/bytes?n=" + std::to_string(size) + "&seed=" + std::to_string(seed));
        if (HttpGetFile(url, path) != 200 || ReadFileBytes(path) != PatternBytes(size, seed))
          ++wrong[t];
      }
    });
  }
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(std::vector<int>(kThreads, 0), wrong);
}

// The end of the connection is the end of a body that has no length.
TEST(HttpGetFile, BodyWithoutALengthIsWrittenWhole) {
  std::string path = TestFolder("nolength") + "stream.jpg";
  std::string token = Token();
  ASSERT_TRUE(InstallFault("host=fetch.kivo.test&action=oversize&size=5000000&seed=4&length=0&query=" + token));
  EXPECT_EQ(200u, HttpGetFile(FetchUrl("/bytes?k=" + token), path));
  EXPECT_TRUE(ReadFileBytes(path) == PatternBytes(5000000, 4));
}

int g_writes_allowed = 0;
ImportHook* g_write_hook = nullptr;

BOOL WINAPI FailingWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (g_writes_allowed-- <= 0) {
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  auto real = reinterpret_cast<decltype(&::WriteFile)>(g_write_hook->original());
  return real(file, data, size, written, overlapped);
}

TEST(HttpGetFile, LocalFileThatCannotBeMadeOrWrittenIsAFailedFetch) {
  std::string folder = TestFolder("local");
  std::string vanished = folder + "gone\\1.jpg";
  EXPECT_EQ(FETCH_FAILED, HttpGetFile(FetchUrl("/bytes?n=1000"), vanished));
  EXPECT_FALSE(FileExists(folder + "gone"));

  // A folder where the file should go stays a folder.
  std::string taken = folder + "taken.jpg";
  ASSERT_TRUE(::CreateDirectoryA(taken.c_str(), nullptr));
  EXPECT_EQ(FETCH_FAILED, HttpGetFile(FetchUrl("/bytes?n=1000"), taken));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, ::GetFileAttributesA(taken.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

  // The disk fills up after the first MiB: no cut-off file stays behind.
  std::string full = folder + "full.jpg";
  {
    ImportHook hook("kernel32.dll", "WriteFile", reinterpret_cast<void*>(&FailingWrite));
    ASSERT_TRUE(hook.installed());
    g_write_hook = &hook;
    g_writes_allowed = 1;
    EXPECT_EQ(FETCH_FAILED, HttpGetFile(FetchUrl("/bytes?n=3000000"), full));
    g_write_hook = nullptr;
  }
  EXPECT_FALSE(FileExists(full));
}

// --- what the service sees --------------------------------------------------------------

TEST(HttpFetch, RequestsCarryTheProductAgentAndTheUrlAsGiven) {
  std::string folder = TestFolder("agent");
  std::string token = Token();
  std::string url = FetchUrl("/echo?k=" + token);
  std::string text;
  EXPECT_EQ(200u, HttpGetText(url, text));
  EXPECT_EQ(200u, HttpGetFile(url, folder + "echo.txt"));

  // Both reached the service, each as sent: absolute form with the port.
  int seen = 0;
  for (const std::string& entry : LoggedRequests("fetch.kivo.test", "/echo")) {
    if (entry.find(token) == std::string::npos)
      continue;
    ++seen;
    std::string value;
    EXPECT_TRUE(LoggedField(entry, "method", value) && value == "GET") << entry;
    EXPECT_TRUE(LoggedField(entry, "user_agent", value) && value == "KivoAlbum") << entry;
    EXPECT_TRUE(LoggedField(entry, "absolute_url", value) && value == url) << entry;
    EXPECT_TRUE(LoggedField(entry, "url", value) && value == "http://fetch.kivo.test:80/echo?k=" + token) << entry;
    EXPECT_TRUE(LoggedField(entry, "host", value) && value == "fetch.kivo.test") << entry;
  }
  EXPECT_EQ(2, seen);
}

TEST(HttpFetch, CookieFromOneAnswerGoesWithLaterRequestsOfOtherSessions) {
  std::string value = Token();
  std::string text;
  ASSERT_EQ(200u, HttpGetText(FetchUrl("/set-cookie?name=kivo_fetch&value=" + value), text));

  std::string token = Token();
  std::string folder = TestFolder("cookie");
  EXPECT_EQ(200u, HttpGetText(FetchUrl("/echo?k=" + token), text));
  EXPECT_EQ(200u, HttpGetFile(FetchUrl("/echo?k=" + token), folder + "echo.txt"));
  int seen = 0;
  for (const std::string& entry : LoggedRequests("fetch.kivo.test", "/echo")) {
    if (entry.find(token) == std::string::npos)
      continue;
    ++seen;
    std::string cookie;
    EXPECT_TRUE(LoggedField(entry, "cookie", cookie)) << entry;
    EXPECT_NE(std::string::npos, cookie.find("kivo_fetch=" + value)) << cookie;
  }
  EXPECT_EQ(2, seen);
}

// --- broken answers ---------------------------------------------------------------------

struct Broken {
  const char* what;
  std::string rule;  // fault on the case's own request; empty: none
  const char* path;  // on the fetch host
};

std::vector<Broken> BrokenAnswers() {
  return {
      {"closed without an answer", "action=hangup", "/bytes?n=3000000"},
      {"dropped mid-body", "action=drop&after=1500000", "/bytes?n=3000000"},
      {"reset mid-body", "action=drop&after=1500000&reset=1", "/bytes?n=3000000"},
      {"dropped in the first read", "action=drop&after=10", "/bytes?n=3000"},
      {"not a status", "action=status&code=1000", "/bytes?n=3000"},
  };
}

TEST(HttpGetText, BrokenAnswersFailBelowHttpKeepingWhatArrived) {
  for (const Broken& c : BrokenAnswers()) {
    SCOPED_TRACE(c.what);
    std::string token = Token();
    ASSERT_TRUE(InstallFault("host=fetch.kivo.test&times=1&query=" + token + "&" + c.rule));
    std::string url = FetchUrl(std::string(c.path) + "&k=" + token);
    std::string whole = WithoutLineEnds(BareGet(FetchUrl(c.path)).body);  // the body unbroken
    std::string text = "held:";
    EXPECT_EQ(FETCH_FAILED, HttpGetText(url, text));
    ASSERT_EQ(0u, text.rfind("held:", 0));
    std::string arrived = text.substr(5);
    EXPECT_LT(arrived.size(), whole.size());
    EXPECT_EQ(0u, whole.rfind(arrived, 0)) << "what was appended is not the start of the body";
  }
}

TEST(HttpGetFile, BrokenAnswersFailBelowHttpAndLeaveNoCutOffFile) {
  std::string folder = TestFolder("broken");
  int n = 0;
  for (const Broken& c : BrokenAnswers()) {
    SCOPED_TRACE(c.what);
    std::string token = Token();
    ASSERT_TRUE(InstallFault("host=fetch.kivo.test&times=2&query=" + token + "&" + c.rule));
    std::string url = FetchUrl(std::string(c.path) + "&k=" + token);
    std::string fresh = folder + std::to_string(++n) + ".jpg";
    EXPECT_EQ(FETCH_FAILED, HttpGetFile(url, fresh));
    EXPECT_FALSE(FileExists(fresh));
    // A file already there is gone too when the body broke, untouched when no body came.
    // A reset may also overtake the headers, and then no body came.
    std::string earlier = folder + std::to_string(n) + "-earlier.jpg";
    WriteFileBytes(earlier, "earlier content");
    EXPECT_EQ(FETCH_FAILED, HttpGetFile(url, earlier));
    bool body_started = c.rule.find("drop") != std::string::npos;
    bool reset = c.rule.find("reset=1") != std::string::npos;
    if (body_started && !reset)
      EXPECT_FALSE(FileExists(earlier));
    else if (!body_started)
      EXPECT_EQ("earlier content", ReadFileBytes(earlier));
    else
      EXPECT_TRUE(!FileExists(earlier) || ReadFileBytes(earlier) == "earlier content");
  }
}

// An endless text answer stops at a bound instead of eating the memory.
TEST(HttpGetText, OversizedAnswerStopsAtTheBound) {
  for (const char* length : {"1", "0"}) {
    SCOPED_TRACE(length);
    std::string token = Token();
    ASSERT_TRUE(InstallFault("host=fetch.kivo.test&action=oversize&size=40000000&length=" + std::string(length) +
                             "&query=" + token));
    std::string text;
    EXPECT_EQ(FETCH_FAILED, HttpGetText(FetchUrl("/bytes?k=" + token), text));
    EXPECT_GT(text.size(), 0u);
    EXPECT_LE(text.size(), 16u << 20);
  }
}

// A stall before the headers and one inside the body, each longer than the receive
// time-out. Without one, Wine's WinINet waits for as long as the stall lasts; then the
// answer would come through complete. The cases run at the same time.
TEST(HttpFetch, StalledAnswersEndAtTheReceiveTimeout) {
  std::string folder = TestFolder("stall");
  struct Stall {
    std::string rule;
    bool file;
    std::string path;
    std::uint32_t status = 0;
    std::string text = "held";
  };
  std::vector<Stall> stalls = {
      {"action=stall&seconds=45", false, ""},
      {"action=stall&seconds=45&after=100000", false, ""},
      {"action=stall&seconds=45", true, folder + "0.jpg"},
      {"action=stall&seconds=45&after=100000", true, folder + "1.jpg"},
  };
  std::vector<std::string> urls;
  for (std::size_t i = 0; i < stalls.size(); ++i) {
    std::string token = Token();
    ASSERT_TRUE(InstallFault("host=fetch.kivo.test&times=1&query=" + token + "&" + stalls[i].rule));
    urls.push_back(FetchUrl("/bytes?n=3000000&k=" + token));
  }
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < stalls.size(); ++i) {
    Stall& s = stalls[i];
    std::string url = urls[i];
    threads.emplace_back([&s, url] { s.status = s.file ? HttpGetFile(url, s.path) : HttpGetText(url, s.text); });
  }
  for (std::thread& t : threads)
    t.join();
  for (const Stall& s : stalls) {
    SCOPED_TRACE(s.rule + (s.file ? " (file)" : " (text)"));
    EXPECT_EQ(FETCH_FAILED, s.status);
    if (s.file)
      EXPECT_FALSE(FileExists(s.path));
    else
      EXPECT_EQ(0u, s.text.rfind("held", 0));
  }
}

// Anything but an http URL reads no body: a local file must not come back as an answer.
TEST(HttpFetch, UrlThatIsNotHttpReadsNothing) {
  char windows[MAX_PATH];
  ::GetWindowsDirectoryA(windows, MAX_PATH);
  std::string local = std::string(windows) + "\\win.ini";
  ASSERT_TRUE(FileExists(local));
  std::string text = "held";
  EXPECT_EQ(FETCH_FAILED, HttpGetText("file:///" + local, text));
  EXPECT_EQ("held", text);
  std::string path = TestFolder("scheme") + "copy.ini";
  EXPECT_EQ(FETCH_FAILED, HttpGetFile("file:///" + local, path));
  EXPECT_FALSE(FileExists(path));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == kChildFlag)
    return RunUnresolvedHostChild(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
