// The blocking GETs over WinINet. Each call owns its session, answer and file; every one is
// closed by its owner on every path.
#include "service/http_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "base/product.h"
#include "service/internet_handle_win.h"

namespace {

using kivo::FileHandle;
using kivo::InternetHandle;

constexpr DWORD_PTR kContext = 1;
// Redirects are followed here, not by WinINet: Wine's follows a URL that redirects to
// itself for ever, and the call never returns.
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                             INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_NO_AUTO_REDIRECT;
static_assert((kOpenFlags & ~INTERNET_FLAG_NO_AUTO_REDIRECT) == 0xA0000001u,
              "always from the server, reused connections");
// Windows' WinINet gives up after about as many; no real chain comes near it.
constexpr int kMaxRedirects = 10;
// A Location longer than this is not one the service sends.
constexpr DWORD kMaxLocation = 65536;

constexpr DWORD kFileBufferSize = 1048576;
constexpr DWORD kTextBufferSize = 65536;
// Text answers are small documents. Without a bound, an endless answer would grow the
// string until an allocation fails in this 32-bit process.
constexpr unsigned long long kMaxTextBody = 16ull << 20;

// Windows hands a session's time-outs down to the handles InternetOpenUrl makes; Wine
// accepts them on the session and ignores them. The request handle is announced here
// before its request goes out, so it gets them too.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR, DWORD status, LPVOID info, DWORD length) {
  if (status != INTERNET_STATUS_HANDLE_CREATED || !info || length < sizeof(DWORD_PTR))
    return;
  // Windows passes an INTERNET_ASYNC_RESULT, Wine the bare handle: both start with it.
  DWORD_PTR created;
  std::memcpy(&created, info, sizeof created);
  if (created)
    kivo::SetInternetTimeouts(reinterpret_cast<HINTERNET>(created));
}

// The file transfer's 1 MiB buffers. A fresh one is new memory that the process faults
// in page by page, some 500 faults a fetch under Wine, which made a 3 MB download about a
// tenth slower than a loop over one buffer. Finished fetches hand theirs back for the
// next; the few kept are as many as fetches that ran at once.
class FileBuffer {
 public:
  FileBuffer() {
    std::lock_guard<std::mutex> lock(Pool().mutex);
    if (!Pool().kept.empty()) {
      buffer_ = std::move(Pool().kept.back());
      Pool().kept.pop_back();
    }
    if (!buffer_)
      buffer_.reset(new (std::nothrow) char[kFileBufferSize]);
  }
  ~FileBuffer() {
    std::lock_guard<std::mutex> lock(Pool().mutex);
    if (buffer_ && Pool().kept.size() < kKept)
      Pool().kept.push_back(std::move(buffer_));
  }
  FileBuffer(const FileBuffer&) = delete;
  FileBuffer& operator=(const FileBuffer&) = delete;
  char* get() const { return buffer_.get(); }

 private:
  static constexpr std::size_t kKept = 4;
  struct Kept {
    std::mutex mutex;
    std::vector<std::unique_ptr<char[]>> kept;
    Kept() { kept.reserve(kKept); }
  };
  // Never destroyed: a worker may still be fetching while the process ends.
  static Kept& Pool() {
    static Kept* pool = new Kept;
    return *pool;
  }
  std::unique_ptr<char[]> buffer_;
};

struct Answer {
  InternetHandle session;
  InternetHandle request;  // declared last: closed before the session
  std::uint32_t status = FETCH_FAILED;
};

// A header as text, or false when the answer has none.
bool QueryHeader(HINTERNET request, DWORD which, char (&text)[80]) {
  DWORD size = sizeof text;
  if (!::HttpQueryInfoA(request, which, text, &size, nullptr) || size >= sizeof text)
    return false;
  text[size] = '\0';
  return true;
}

// The Location header, of any length up to a bound; false when the answer has none.
bool QueryLocation(HINTERNET request, std::string& value) {
  std::string text(256, '\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(text.size());
    if (::HttpQueryInfoA(request, HTTP_QUERY_LOCATION, &text[0], &size, nullptr)) {
      value.assign(text.data(), size < text.size() ? size : text.size());
      return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= text.size() || size > kMaxLocation)
      return false;
    text.assign(size, '\0');
  }
}

// The status of an answer, or FETCH_FAILED: a closed connection with no answer opens fine
// and reads as status 0; that, and anything else that is not a three-digit status, is a
// failure below HTTP.
std::uint32_t ReadStatus(HINTERNET request) {
  char text[80];
  if (!QueryHeader(request, HTTP_QUERY_STATUS_CODE, text))
    return FETCH_FAILED;
  unsigned long status = std::strtoul(text, nullptr, 10);
  return status >= 100 && status <= 999 ? static_cast<std::uint32_t>(status) : FETCH_FAILED;
}

bool IsRedirect(std::uint32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  return ::_strnicmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}

// The URL a Location sends the request on to, taken relative to the URL that answered.
// Only HTTP goes on: a Location must not turn the fetch into a read of a local file.
bool NextUrl(const std::string& from, const std::string& location, std::string& next) {
  std::string combined(from.size() + location.size() + 256, '\0');
  for (int tries = 0; tries < 2; ++tries) {
    DWORD size = static_cast<DWORD>(combined.size());
    if (::InternetCombineUrlA(from.c_str(), location.c_str(), &combined[0], &size,
                              ICU_ENCODE_SPACES_ONLY)) {
      combined.resize(size);
      if (!StartsWithNoCase(combined, "http://") && !StartsWithNoCase(combined, "https://"))
        return false;
      next = combined;
      return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= combined.size() || size > kMaxLocation)
      return false;
    combined.assign(size, '\0');
  }
  return false;
}

// Opens the URL in a session of its own, follows its redirects and reads the final status.
// The cookie store takes each answer's cookies and gives them to the next request, as it
// does when WinINet follows them itself. A loop or an overlong chain fails below HTTP.
Answer Open(const std::string& url) {
  Answer answer;
  answer.session.reset(::InternetOpenA(kivo::kProductName, INTERNET_OPEN_TYPE_PRECONFIG,
                                       nullptr, nullptr, 0));
  if (!answer.session)
    return answer;
  kivo::SetInternetTimeouts(answer.session.get());
  ::InternetSetStatusCallbackA(answer.session.get(), OnStatus);
  std::string target = url;
  for (int redirects = 0;; ++redirects) {
    answer.request.reset(::InternetOpenUrlA(answer.session.get(), target.c_str(), nullptr, 0,
                                            kOpenFlags, kContext));
    if (!answer.request)
      return answer;
    std::uint32_t status = ReadStatus(answer.request.get());
    std::string location;
    if (!IsRedirect(status) || !QueryLocation(answer.request.get(), location) ||
        location.empty()) {
      answer.status = status;
      return answer;
    }
    if (redirects == kMaxRedirects || !NextUrl(target, location, target))
      return answer;
  }
}

// A connection that breaks mid-body ends the reads as if the body were complete, so a
// body is whole only when it is as long as announced. Without a plain Content-Length (or
// with chunked coding, which overrides it) the end of the connection is all there is.
class BodyLength {
 public:
  explicit BodyLength(HINTERNET request) {
    char text[80];
    if (QueryHeader(request, HTTP_QUERY_TRANSFER_ENCODING, text))
      return;
    if (!QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, text) || text[0] == '\0')
      return;
    unsigned long long value = 0;
    for (const char* p = text; *p; ++p) {
      if (*p < '0' || *p > '9' || value > (~0ull - 9) / 10)
        return;
      value = value * 10 + static_cast<unsigned>(*p - '0');
    }
    known_ = true;
    expected_ = value;
  }
  bool Complete(unsigned long long read) const { return !known_ || read == expected_; }

 private:
  bool known_ = false;
  unsigned long long expected_ = 0;
};

}  // namespace

std::uint32_t HttpGetText(const std::string& url, std::string& text) {
  Answer answer = Open(url);
  if (!IsHttpSuccess(answer.status))
    return answer.status;
  HINTERNET request = answer.request.get();
  BodyLength length(request);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kTextBufferSize]);
  if (!buffer)
    return FETCH_FAILED;
  unsigned long long total = 0;
  // What was appended before a failure stays: the callers parse what they got.
  try {
    for (;;) {
      DWORD got = 0;
      if (!::InternetReadFile(request, buffer.get(), kTextBufferSize, &got))
        return FETCH_FAILED;
      if (got == 0)
        break;
      total += got;
      if (total > kMaxTextBody)
        return FETCH_FAILED;
      for (DWORD begin = 0, end; begin < got; begin = end + 1) {
        end = begin;
        while (end < got && buffer[end] != '\r' && buffer[end] != '\n')
          ++end;
        text.append(buffer.get() + begin, end - begin);
      }
    }
  } catch (const std::bad_alloc&) {
    return FETCH_FAILED;
  }
  return length.Complete(total) ? answer.status : FETCH_FAILED;
}

std::uint32_t HttpGetFile(const std::string& url, const std::string& path) {
  Answer answer = Open(url);
  if (!IsHttpSuccess(answer.status))
    return answer.status;
  HINTERNET request = answer.request.get();
  BodyLength length(request);
  FileBuffer buffer;
  if (!buffer.get())
    return FETCH_FAILED;

  // A file that cannot be made or written is a failed fetch too: the download worker
  // would otherwise count the photo as done.
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return FETCH_FAILED;

  // Nothing has been read, so the answer is at its start already; Wine does not implement
  // the call and always fails it, which must not fail the fetch.
  ::InternetSetFilePointer(request, 0, nullptr, FILE_BEGIN, 0);

  bool ok = true;
  unsigned long long total = 0;
  for (;;) {
    DWORD got = 0;
    if (!::InternetReadFile(request, buffer.get(), kFileBufferSize, &got)) {
      ok = false;
      break;
    }
    if (got == 0)
      break;
    DWORD written = 0;
    if (!::WriteFile(file.get(), buffer.get(), got, &written, nullptr) || written != got) {
      ok = false;
      break;
    }
    total += got;
  }
  ok = ok && length.Complete(total) && ::SetEndOfFile(file.get());
  file.reset();
  // A cut-off picture on disk looks like a photo: remove it. The worker's second try
  // with the small picture creates the file again.
  if (!ok) {
    ::DeleteFileA(path.c_str());
    return FETCH_FAILED;
  }
  return answer.status;
}
