// How the real program does its main job: KivoAlbum.exe driven from outside, as a user would,
// against the stand-in service's bench members, beside a bare WinINet loop over the same URLs.
//
//   program_bench PROGRAM DATA_FOLDER WORK_FOLDER [listing] [download] [memory]
//
// DATA_FOLDER holds the URL lists of the bench scenario (covers.txt, photos500.txt,
// photos1000.txt, one URL a line, in the program's order). Each measure runs a fresh copy of
// the program in a folder of its own below WORK_FOLDER; naming measures runs only those. Prints what it measures and one
// machine-readable line per figure:
//   RESULT NAME VALUE
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "album_job.h"
#include "bare_wininet.h"
#include "bench_clock.h"
#include "kivo_driver.h"
#include "responsiveness_probe.h"

namespace {

const char kTitle[] = "Kivo相册批量下载工具(KivoAlbum1.5)";
const char kFinalQuestion[] = "相册下载完毕，是否打开下载目录查看?";
const char kListingUin[] = "700300";
constexpr int kListingAlbums = 300;
constexpr int kJobTimeoutMs = 15 * 60 * 1000;

int g_failures = 0;

void Fail(const std::string& what) {
  std::printf("FAILED: %s\n", what.c_str());
  std::fflush(stdout);
  ++g_failures;
}

void Result(const char* name, double value) {
  std::printf("RESULT %s %.6f\n", name, value);
  std::fflush(stdout);
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (!line.empty())
      lines.push_back(line);
  }
  return lines;
}

std::string WithSlash(std::string folder) {
  if (folder.back() != '\\' && folder.back() != '/')
    folder += '\\';
  return folder;
}

// Files directly in folder: how many, and their bytes.
void CountFiles(const std::string& folder, int& files, unsigned long long& bytes) {
  files = 0;
  bytes = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      continue;
    ++files;
    bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

// The bare loop over urls into folder, one after the other: seconds, and the bytes written.
double BarePass(const std::vector<std::string>& urls, const std::string& folder, unsigned long long& bytes) {
  ::CreateDirectoryA(folder.c_str(), nullptr);
  bool ok = true;
  double start = kivobench::Now();
  for (std::size_t i = 0; i < urls.size(); ++i)
    ok = kivobench::BareGetFile(urls[i], folder + std::to_string(i) + ".bin") && ok;
  double seconds = kivobench::Now() - start;
  int files = 0;
  CountFiles(folder, files, bytes);
  if (!ok || files != static_cast<int>(urls.size()))
    Fail("the bare loop did not fetch every URL into " + folder);
  return seconds;
}

// A copy of the program in a folder of its own, running, its main window up.
class Program {
 public:
  bool Start(const std::string& built, const std::string& folder) {
    ::CreateDirectoryA(folder.c_str(), nullptr);
    if (!::CopyFileA(built.c_str(), (folder + "KivoAlbum.exe").c_str(), FALSE))
      return false;
    if (!kivodriver::Launch(folder + "KivoAlbum.exe", "", process_))
      return false;
    main_ = kivodriver::WaitForTitle(process_.id, kTitle, 30000);
    return main_ != nullptr;
  }
  ~Program() {
    if (main_)
      ::PostMessageA(main_, WM_CLOSE, 0, 0);
    if (process_.handle)
      kivodriver::WaitForExit(process_, 10000);
    kivodriver::Terminate(process_);
  }
  HWND main() const { return main_; }
  const kivodriver::Process& process() const { return process_; }

 private:
  kivodriver::Process process_;
  HWND main_ = nullptr;
};

// Memory of another process, read with GetProcessMemoryInfo.
struct Memory {
  SIZE_T workingSet = 0;
  SIZE_T peakWorkingSet = 0;
  SIZE_T privateBytes = 0;
};

Memory ReadMemory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  Memory memory;
  if (!::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    return memory;
  memory.workingSet = counters.WorkingSetSize;
  memory.peakWorkingSet = counters.PeakWorkingSetSize;
  memory.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
  return memory;
}

// Samples a process's working set and private bytes every few milliseconds, from start to Stop.
class MemorySampler {
 public:
  struct Sample {
    double seconds;
    Memory memory;
  };
  explicit MemorySampler(HANDLE process)
      : start_(kivobench::Now()), thread_([this, process] {
          while (!stop_) {
            Memory now = ReadMemory(process);
            samples_.push_back({kivobench::Now() - start_, now});
            ::Sleep(10);
          }
        }) {}
  ~MemorySampler() { Stop(); }
  // Afterwards the samples may be read.
  void Stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  const std::vector<Sample>& samples() const { return samples_; }
  SIZE_T maxWorkingSet() const {
    SIZE_T most = 0;
    for (const Sample& sample : samples_)
      most = std::max(most, sample.memory.workingSet);
    return most;
  }
  SIZE_T maxPrivate() const {
    SIZE_T most = 0;
    for (const Sample& sample : samples_)
      most = std::max(most, sample.memory.privateBytes);
    return most;
  }

 private:
  double start_;
  std::atomic<bool> stop_{false};
  std::vector<Sample> samples_;
  std::thread thread_;
};

double Megabytes(double bytes) {
  return bytes / 1048576.0;
}

// The final question box of the program, polled every few milliseconds; null on time-out.
HWND WaitForFinalQuestion(DWORD processId, int timeoutMs) {
  double deadline = kivobench::Now() + timeoutMs / 1000.0;
  while (kivobench::Now() < deadline) {
    for (HWND window : kivodriver::TopWindows(processId)) {
      if (kivodriver::IsDialogWindow(window) &&
          kivodriver::StaticTexts(window).find(kFinalQuestion) != std::string::npos)
        return window;
    }
    ::Sleep(5);
  }
  return nullptr;
}

// Presses the download button and waits for the final question. Seconds from the click to
// the question box, or a negative number when the download did not come to it.
double TimedDownload(const Program& program) {
  HWND main = program.main();
  if (!::IsWindowEnabled(::GetDlgItem(main, kivodriver::kDownloadButton))) {
    Fail("the download button is disabled");
    return -1;
  }
  double start = kivobench::Now();
  kivodriver::Click(::GetDlgItem(main, kivodriver::kDownloadButton));
  HWND box = WaitForFinalQuestion(program.process().id, kJobTimeoutMs);
  double seconds = kivobench::Now() - start;
  if (!box) {
    Fail("no final question");
    return -1;
  }
  kivodriver::PressButton(box, IDNO);
  if (!kivodriver::WaitForEnabled(main, kivodriver::kDownloadButton, true, 10000))
    Fail("the download button did not come back");
  return seconds;
}

// Lists a member through the driver; false after a failure was reported.
bool List(const Program& program, const std::string& uin) {
  std::string error;
  if (!kivodriver::ListAlbumsOf(program.main(), uin, 120000, error)) {
    Fail("listing " + uin + ": " + error);
    return false;
  }
  return true;
}

void MeasureListing(const std::string& built, const std::string& work, const std::vector<std::string>& covers) {
  std::printf("\n== listing of %d albums: login-finished message sent -> view button back ==\n", kListingAlbums);
  unsigned long long bytes = 0;
  double bareBefore = BarePass(covers, work + "bare-covers-1\\", bytes);

  Program program;
  if (!program.Start(built, work + "listing\\")) {
    Fail("the program did not start");
    return;
  }
  HWND main = program.main();
  kivodriver::SetText(::GetDlgItem(main, kivodriver::kAccountBox), kListingUin);
  kivodriver::Click(::GetDlgItem(main, kivodriver::kViewButton));
  if (!kivodriver::WaitForLog(main, std::string("正在获取 ") + kListingUin + "(", 60000)) {
    Fail("the log never named the listing member");
    return;
  }
  HWND view = ::GetDlgItem(main, kivodriver::kViewButton);
  kivodriver::ResponsivenessProbe probe(main);
  double start = kivobench::Now();
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutA(main, kivodriver::kLoginFinished, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
    Fail("the window did not take the login notice");
    return;
  }
  while (!::IsWindowEnabled(view) && kivobench::Now() - start < kJobTimeoutMs / 1000.0)
    ::Sleep(1);
  double listing = kivobench::Now() - start;
  probe.Stop();

  std::vector<kivodriver::ListItem> items;
  kivodriver::ReadListView(::GetDlgItem(main, kivodriver::kAlbumList), items);
  int pictured = 0;
  for (const auto& item : items)
    pictured += item.image >= 0;
  if (static_cast<int>(items.size()) != kListingAlbums || pictured != kListingAlbums)
    Fail("the list holds " + std::to_string(items.size()) + " items, " + std::to_string(pictured) + " with a picture");

  double bareAfter = BarePass(covers, work + "bare-covers-2\\", bytes);
  double bare = (bareBefore + bareAfter) / 2;
  std::printf("program: %.3f s   bare WinINet loop over the %zu covers: %.3f s (before) and %.3f s (after), %llu bytes\n",
              listing, covers.size(), bareBefore, bareAfter, bytes);
  std::printf("listing / covers alone: %.3f (target <= 1.2)\n", listing / bare);
  std::printf("window's longest answer during the listing: %lu ms over %d probes, %d unanswered (target < 100 ms)\n",
              static_cast<unsigned long>(probe.longest()), probe.probes(), probe.failures());
  Result("listing_seconds", listing);
  Result("listing_bare_seconds", bare);
  Result("listing_ratio", listing / bare);
  Result("listing_longest_answer_ms", probe.longest());
}

void MeasureDownload(const std::string& built, const std::string& work, const std::vector<std::string>& photos) {
  std::printf("\n== download of %zu photos: download click -> final question box ==\n", photos.size());
  std::printf("(the box appears just before the end-of-download message: the end as seen from outside)\n");
  unsigned long long bareBytes = 0;
  double bareBefore = BarePass(photos, work + "bare-photos-1\\", bareBytes);

  double download = -1;
  DWORD longest = 0;
  int probes = 0, unanswered = 0;
  const std::string folder = work + "download\\";
  {
    Program program;
    if (!program.Start(built, folder)) {
      Fail("the program did not start");
      return;
    }
    if (!List(program, "700500"))
      return;
    kivodriver::ResponsivenessProbe probe(program.main());
    download = TimedDownload(program);
    probe.Stop();
    longest = probe.longest();
    probes = probe.probes();
    unanswered = probe.failures();
  }
  if (download < 0)
    return;
  int files = 0;
  unsigned long long bytes = 0;
  CountFiles(folder + "700500\\500张\\", files, bytes);
  if (files != static_cast<int>(photos.size()) || bytes != bareBytes)
    Fail("the program saved " + std::to_string(files) + " files, " + std::to_string(bytes) + " bytes; the bare loop " +
         std::to_string(bareBytes) + " bytes");

  double bareAfter = BarePass(photos, work + "bare-photos-2\\", bareBytes);
  double bare = (bareBefore + bareAfter) / 2;
  std::printf("program: %.3f s   bare WinINet loop: %.3f s (before) and %.3f s (after), %llu bytes\n", download,
              bareBefore, bareAfter, bareBytes);
  std::printf("download / bare loop: %.3f (target <= 1.10)\n", download / bare);
  std::printf("window's longest answer during the download: %lu ms over %d probes, %d unanswered (target < 100 ms)\n",
              static_cast<unsigned long>(longest), probes, unanswered);
  Result("download_seconds", download);
  Result("download_bare_seconds", bare);
  Result("download_ratio", download / bare);
  Result("download_bytes", static_cast<double>(bytes));
  Result("download_longest_answer_ms", longest);
}

void MeasureMemory(const std::string& built, const std::string& work, std::size_t photoCount) {
  std::printf("\n== memory during a download of %zu photos, above the same program idle after start ==\n", photoCount);
  Program program;
  if (!program.Start(built, work + "memory\\")) {
    Fail("the program did not start");
    return;
  }
  // Start-up work (the skin, the update check) settles first.
  ::Sleep(3000);
  Memory idle = ReadMemory(program.process().handle);
  if (idle.workingSet == 0) {
    Fail("GetProcessMemoryInfo gave nothing for the program");
    return;
  }
  if (!List(program, "701000"))
    return;
  Memory listed = ReadMemory(program.process().handle);
  MemorySampler sampler(program.process().handle);
  double seconds = TimedDownload(program);
  sampler.Stop();
  Memory after = ReadMemory(program.process().handle);
  if (seconds < 0)
    return;
  std::printf("idle: working set %.1f MB, private %.1f MB; after the listing: %.1f MB, %.1f MB\n",
              Megabytes(idle.workingSet), Megabytes(idle.privateBytes), Megabytes(listed.workingSet),
              Megabytes(listed.privateBytes));
  std::printf("during the download (%.1f s): highest working set %.1f MB, highest private %.1f MB; "
              "peak working set since start %.1f MB\n",
              seconds, Megabytes(sampler.maxWorkingSet()), Megabytes(sampler.maxPrivate()),
              Megabytes(after.peakWorkingSet));
  double above = Megabytes(static_cast<double>(sampler.maxWorkingSet()) - idle.workingSet);
  double abovePrivate = Megabytes(static_cast<double>(sampler.maxPrivate()) - idle.privateBytes);
  double peakAbove = Megabytes(static_cast<double>(after.peakWorkingSet) - idle.workingSet);
  // Growth that goes on through the download points at something kept per photo.
  std::printf("working set / private bytes at each tenth of the download:");
  const auto& samples = sampler.samples();
  for (int tenth = 1; tenth <= 10 && !samples.empty(); ++tenth) {
    double at = seconds * tenth / 10;
    auto sample = std::find_if(samples.begin(), samples.end(), [&](const auto& s) { return s.seconds >= at; });
    const Memory& memory = (sample == samples.end() ? samples.back() : *sample).memory;
    std::printf(" %.1f/%.1f", Megabytes(memory.workingSet), Megabytes(memory.privateBytes));
  }
  std::printf(" MB\n");
  std::printf("above idle: working set +%.1f MB, private +%.1f MB, peak working set +%.1f MB (target <= 10 MB)\n",
              above, abovePrivate, peakAbove);
  Result("memory_idle_mb", Megabytes(idle.workingSet));
  Result("memory_above_idle_mb", above);
  Result("memory_private_above_idle_mb", abovePrivate);
  Result("memory_peak_above_idle_mb", peakAbove);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: program_bench PROGRAM DATA_FOLDER WORK_FOLDER [listing] [download] [memory]\n");
    return 2;
  }
  const std::string built = argv[1];
  const std::string data = WithSlash(argv[2]);
  const std::string work = WithSlash(argv[3]);
  ::CreateDirectoryA(work.c_str(), nullptr);
  const std::vector<std::string> covers = ReadLines(data + "covers.txt");
  const std::vector<std::string> photos = ReadLines(data + "photos500.txt");
  const std::vector<std::string> photos1000 = ReadLines(data + "photos1000.txt");
  if (covers.size() != kListingAlbums || photos.size() != 500 || photos1000.size() != 1000) {
    std::fprintf(stderr, "program_bench: the URL lists in %s are not the bench scenario's\n", data.c_str());
    return 2;
  }
  auto chosen = [&](const char* measure) {
    if (argc == 4)
      return true;
    for (int i = 4; i < argc; ++i) {
      if (std::strcmp(argv[i], measure) == 0)
        return true;
    }
    return false;
  };
  if (chosen("listing"))
    MeasureListing(built, work, covers);
  if (chosen("download"))
    MeasureDownload(built, work, photos);
  if (chosen("memory"))
    MeasureMemory(built, work, photos1000.size());
  if (g_failures)
    std::printf("\nprogram_bench: %d failures: the figures above are not to be trusted\n", g_failures);
  return g_failures ? 1 : 0;
}
