// How fast HttpGetFile fetches photos, beside a bare WinINet loop over the same URLs.
//
//   fetch_bench URL_LIST OUT_FOLDER [REPETITIONS]
//
// URL_LIST holds lines "SET URL" (SET names a group, "photos" say). Each repetition fetches
// every URL of a set one after the other, first with one method, then with the other (the
// order alternates between repetitions), into OUT_FOLDER. Prints a table of medians and one
// machine-readable line per set and method:
//   RESULT SET METHOD MEDIAN_SECONDS_PER_PASS BYTES_PER_PASS URLS
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "service/internet_handle_win.h"
#include "service/http_fetch.h"

namespace {

using Internet = kivo::InternetHandle;
using File = kivo::FileHandle;

// The least a WinINet download can do: a session, the URL with the same flags as the
// program's fetch, reads into a file. No status, no checks, no time-outs.
bool BareGetFile(const std::string& url, const std::string& path) {
  static char buffer[1048576];
  Internet session(::InternetOpenA("KivoAlbum", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session)
    return false;
  Internet request(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, 0xA0000001, 1));
  if (!request)
    return false;
  File file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  for (;;) {
    DWORD got = 0, written = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &got))
      return false;
    if (got == 0)
      return true;
    if (!::WriteFile(file.get(), buffer, got, &written, nullptr))
      return false;
  }
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER count;
  ::QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
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
  const char* name;
  bool (*fetch)(const std::string& url, const std::string& path);
};

bool ProgramGetFile(const std::string& url, const std::string& path) {
  std::uint32_t status = HttpGetFile(url, path);
  return status >= 200 && status <= 299;
}

const Method kMethods[] = {{"HttpGetFile", ProgramGetFile}, {"bare-WinINet", BareGetFile}};

// One pass over a set: seconds, and the bytes on disk afterwards (0 when a fetch failed).
double Pass(const Method& method, const std::vector<std::string>& urls, const std::string& folder,
            unsigned long long& bytes) {
  bytes = 0;
  bool ok = true;
  double start = Now();
  for (std::size_t i = 0; i < urls.size(); ++i)
    ok = method.fetch(urls[i], folder + std::to_string(i) + ".bin") && ok;
  double seconds = Now() - start;
  for (std::size_t i = 0; i < urls.size(); ++i)
    bytes += FileSize(folder + std::to_string(i) + ".bin");
  if (!ok)
    bytes = 0;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fetch_bench URL_LIST OUT_FOLDER [REPETITIONS]\n");
    return 2;
  }
  int repetitions = argc > 3 ? std::atoi(argv[3]) : 7;
  if (repetitions < 1)
    repetitions = 1;
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
  for (const std::string& set : set_order) {
    const std::vector<std::string>& urls = sets[set];
    std::string folder = out + set + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<double> seconds[2];
    unsigned long long bytes[2] = {0, 0};
    // An untimed pass each: connections, the cache folder and the service's pictures warm.
    for (int m = 0; m < 2; ++m)
      Pass(kMethods[m], urls, folder, bytes[m]);
    for (int r = 0; r < repetitions; ++r) {
      for (int k = 0; k < 2; ++k) {
        int m = (r + k) % 2;
        unsigned long long got = 0;
        seconds[m].push_back(Pass(kMethods[m], urls, folder, got));
        if (got == 0 || (bytes[m] && got != bytes[m]))
          ++failures;
      }
    }
    if (bytes[0] != bytes[1])
      ++failures;
    for (int m = 0; m < 2; ++m) {
      double median = Median(seconds[m]);
      std::printf("%-8s %-13s %6zu %12llu %10.3f %10.1f\n", set.c_str(), kMethods[m].name, urls.size(), bytes[m],
                  1000 * median / urls.size(), bytes[m] / median / 1e6);
    }
    for (int m = 0; m < 2; ++m)
      std::printf("RESULT %s %s %.6f %llu %zu\n", set.c_str(), kMethods[m].name, Median(seconds[m]), bytes[m],
                  urls.size());
  }
  if (failures)
    std::printf("fetch_bench: %d passes had a failed fetch or a different size\n", failures);
  return failures ? 1 : 0;
}
