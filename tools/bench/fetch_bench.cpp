// How fast HttpGetFile fetches photos, beside a bare WinINet loop over the same URLs.
//
//   fetch_bench URL_LIST OUT_FOLDER [REPETITIONS] [METHODS]
//
// URL_LIST holds lines "SET URL" (SET names a group, "photos" say). Each repetition fetches
// every URL of a set, one after the other, with each method in turn (the order rotates
// with the URL and the repetition), into OUT_FOLDER. A method's pass is the sum of its
// fetches in one repetition. Prints a table of medians, one machine-readable line per set
// and method:
//   RESULT SET METHOD MEDIAN_SECONDS_PER_PASS BYTES_PER_PASS URLS
// and for every method but the second, its pass time over the second's, repetition by
// repetition: "RATIO SET A/B median M, lowest L, highest H over N repetitions".
//
// METHODS, comma-separated, default "HttpGetFile,bare-WinINet". To find what a difference
// between the two costs, "bare+STEP[+STEP...]" is the bare loop with steps of the fetch
// added: alloc (a new 1 MiB buffer per call), rw (the file opened for reading too),
// timeouts (set on the session and, from a status callback, on the request), callback (a
// status callback that does nothing), query (status, Transfer-Encoding and
// Content-Length), seek (InternetSetFilePointer), eof (SetEndOfFile), noredirect
// (INTERNET_FLAG_NO_AUTO_REDIRECT).
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "service/internet_handle_win.h"
#include "service/http_fetch.h"

namespace {

using Internet = kivo::InternetHandle;
using File = kivo::FileHandle;

// Steps of the program's fetch that the bare loop leaves out.
enum Step : unsigned {
  kAlloc = 1, kReadWrite = 2, kTimeouts = 4, kCallback = 8, kQuery = 16, kSeek = 32, kEndOfFile = 64,
  kNoRedirect = 128,
};
const struct {
  const char* name;
  Step step;
} kSteps[] = {{"alloc", kAlloc}, {"rw", kReadWrite}, {"timeouts", kTimeouts}, {"callback", kCallback},
              {"query", kQuery}, {"seek", kSeek}, {"eof", kEndOfFile}, {"noredirect", kNoRedirect}};

void CALLBACK TimeoutsOnCreate(HINTERNET, DWORD_PTR, DWORD status, LPVOID info, DWORD length) {
  if (status != INTERNET_STATUS_HANDLE_CREATED || !info || length < sizeof(DWORD_PTR))
    return;
  DWORD_PTR created;
  std::memcpy(&created, info, sizeof created);
  if (created)
    kivo::SetInternetTimeouts(reinterpret_cast<HINTERNET>(created));
}

void CALLBACK Nothing(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {}

// The least a WinINet download can do: a session, the URL with the same flags as the
// program's fetch, reads into a file; no status, no checks, no time-outs. Plus the steps.
bool BareGetFile(const std::string& url, const std::string& path, unsigned steps) {
  static char static_buffer[1048576];
  std::unique_ptr<char[]> owned(steps & kAlloc ? new char[sizeof static_buffer] : nullptr);
  char* buffer = owned ? owned.get() : static_buffer;
  Internet session(::InternetOpenA("KivoAlbum", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session)
    return false;
  if (steps & kTimeouts) {
    kivo::SetInternetTimeouts(session.get());
    ::InternetSetStatusCallbackA(session.get(), TimeoutsOnCreate);
  } else if (steps & kCallback) {
    ::InternetSetStatusCallbackA(session.get(), Nothing);
  }
  DWORD flags = 0xA0000001 | (steps & kNoRedirect ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0);
  Internet request(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, flags, 1));
  if (!request)
    return false;
  if (steps & kQuery) {
    for (DWORD which : {HTTP_QUERY_STATUS_CODE, HTTP_QUERY_TRANSFER_ENCODING, HTTP_QUERY_CONTENT_LENGTH}) {
      char text[80];
      DWORD size = sizeof text;
      ::HttpQueryInfoA(request.get(), which, text, &size, nullptr);
    }
  }
  DWORD access = GENERIC_WRITE | (steps & kReadWrite ? GENERIC_READ : 0);
  File file(::CreateFileA(path.c_str(), access, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  if (steps & kSeek)
    ::InternetSetFilePointer(request.get(), 0, nullptr, FILE_BEGIN, 0);
  for (;;) {
    DWORD got = 0, written = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof static_buffer, &got))
      return false;
    if (got == 0)
      break;
    if (!::WriteFile(file.get(), buffer, got, &written, nullptr))
      return false;
  }
  return !(steps & kEndOfFile) || ::SetEndOfFile(file.get());
}

unsigned long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Method {
  std::string name;
  bool program;  // HttpGetFile, else the bare loop with steps
  unsigned steps;
  bool fetch(const std::string& url, const std::string& path) const {
    if (!program)
      return BareGetFile(url, path, steps);
    std::uint32_t status = HttpGetFile(url, path);
    return IsHttpSuccess(status);
  }
};

// "HttpGetFile", "bare-WinINet" or "bare+STEP...": false when a name is unknown.
bool ParseMethod(const std::string& name, Method& method) {
  method = {name, name == "HttpGetFile", 0};
  if (method.program || name == "bare-WinINet")
    return true;
  if (name.compare(0, 5, "bare+") != 0)
    return false;
  std::istringstream steps(name.substr(5));
  for (std::string step; std::getline(steps, step, '+');) {
    auto known = std::find_if(std::begin(kSteps), std::end(kSteps), [&](const auto& s) { return step == s.name; });
    if (known == std::end(kSteps))
      return false;
    method.steps |= known->step;
  }
  return true;
}

// One repetition over a set: every URL fetched with every method in turn, the order
// rotating with the URL and the repetition, so that the methods meet the same load on this
// shared machine. Adds each method's seconds; each method writes files of its own.
bool Repetition(const std::vector<Method>& methods, const std::vector<std::string>& urls,
                const std::string& folder, int r, std::vector<double>& seconds) {
  bool ok = true;
  seconds.assign(methods.size(), 0.0);
  for (std::size_t i = 0; i < urls.size(); ++i) {
    for (std::size_t k = 0; k < methods.size(); ++k) {
      std::size_t m = (r + i + k) % methods.size();
      std::string path = folder + std::to_string(m) + "-" + std::to_string(i) + ".bin";
      double start = kivobench::Now();
      ok = methods[m].fetch(urls[i], path) && ok;
      seconds[m] += kivobench::Now() - start;
    }
  }
  return ok;
}

unsigned long long BytesOnDisk(const std::string& folder, std::size_t m, std::size_t urls) {
  unsigned long long bytes = 0;
  for (std::size_t i = 0; i < urls; ++i)
    bytes += FileSize(folder + std::to_string(m) + "-" + std::to_string(i) + ".bin");
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fetch_bench URL_LIST OUT_FOLDER [REPETITIONS] [METHODS]\n");
    return 2;
  }
  int repetitions = argc > 3 ? std::atoi(argv[3]) : 7;
  if (repetitions < 1)
    repetitions = 1;
  std::vector<Method> methods;
  std::istringstream names(argc > 4 ? argv[4] : "HttpGetFile,bare-WinINet");
  for (std::string name; std::getline(names, name, ',');) {
    Method method;
    if (!ParseMethod(name, method)) {
      std::fprintf(stderr, "fetch_bench: unknown method %s\n", name.c_str());
      return 2;
    }
    methods.push_back(method);
  }
  const std::size_t m_count = methods.size();
  std::string out = argv[2];
  if (out.back() != '\\' && out.back() != '/')
    out += '\\';
  ::CreateDirectoryA(out.c_str(), nullptr);

  std::vector<std::string> set_order;
  std::map<std::string, std::vector<std::string>> sets;
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);) {
    std::istringstream fields(line);
    std::string set, url;
    if (!(fields >> set >> url))
      continue;
    if (!sets.count(set))
      set_order.push_back(set);
    sets[set].push_back(url);
  }
  if (sets.empty()) {
    std::fprintf(stderr, "fetch_bench: no URLs in %s\n", argv[1]);
    return 2;
  }

  int failures = 0;
  std::printf("%-8s %-13s %6s %12s %10s %10s\n", "set", "method", "urls", "bytes/pass", "ms/url", "MB/s");
  std::vector<std::string> ratios;
  for (const std::string& set : set_order) {
    const std::vector<std::string>& urls = sets[set];
    std::string folder = out + set + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::vector<double>> seconds(m_count);
    std::vector<double> one;
    // An untimed repetition: connections, the cache folder and the service's pictures warm.
    if (!Repetition(methods, urls, folder, 0, one))
      ++failures;
    std::vector<unsigned long long> bytes(m_count);
    for (std::size_t m = 0; m < m_count; ++m)
      bytes[m] = BytesOnDisk(folder, m, urls.size());
    for (int r = 0; r < repetitions; ++r) {
      if (!Repetition(methods, urls, folder, r, one))
        ++failures;
      for (std::size_t m = 0; m < m_count; ++m) {
        seconds[m].push_back(one[m]);
        failures += BytesOnDisk(folder, m, urls.size()) != bytes[0];
      }
    }
    for (std::size_t m = 0; m < m_count; ++m) {
      double median = Median(seconds[m]);
      std::printf("%-8s %-13s %6zu %12llu %10.3f %10.1f\n", set.c_str(), methods[m].name.c_str(), urls.size(),
                  bytes[m], 1000 * median / urls.size(), bytes[m] / median / 1e6);
    }
    for (std::size_t m = 0; m < m_count; ++m)
      std::printf("RESULT %s %s %.6f %llu %zu\n", set.c_str(), methods[m].name.c_str(), Median(seconds[m]),
                  bytes[m], urls.size());
    // Each method's time over the second method's, repetition by repetition.
    for (std::size_t m = 0; m < m_count; ++m) {
      if (m == 1 || m_count < 2)
        continue;
      std::vector<double> ratio;
      for (int r = 0; r < repetitions; ++r)
        ratio.push_back(seconds[m][r] / seconds[1][r]);
      double median = Median(ratio);
      std::sort(ratio.begin(), ratio.end());
      char line[256];
      std::snprintf(line, sizeof line, "RATIO %s %s/%s median %.3f, lowest %.3f, highest %.3f over %d repetitions",
                    set.c_str(), methods[m].name.c_str(), methods[1].name.c_str(), median, ratio.front(),
                    ratio.back(), repetitions);
      ratios.push_back(line);
    }
  }
  for (const std::string& line : ratios)
    std::printf("%s\n", line.c_str());
  if (failures)
    std::printf("fetch_bench: %d passes had a failed fetch or a different size\n", failures);
  return failures ? 1 : 0;
}
