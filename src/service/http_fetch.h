// The program's whole HTTP client: blocking GETs through the platform's HTTP stack, which
// brings the system proxy settings and the cookie store shared with the login browser.
// Redirects to HTTP URLs are followed, ten at most. Each call opens and closes its own
// session; nothing is retried here.
#pragma once

#include <cstdint>
#include <string>

// The request failed below HTTP (no session, host not found, connection dropped, a read
// error, a body shorter than announced, no readable status, a stall past the time-outs,
// a redirect loop or one to anything but HTTP, and for files a local file that could not
// be written). No HTTP status can take it.
constexpr std::uint32_t FETCH_FAILED = 0x80000000u;

// A 2xx status: the only answers whose body the fetch keeps.
inline bool IsHttpSuccess(std::uint32_t status) {
  return status >= 200 && status <= 299;
}

// Appends the body of a 2xx answer to text, without its carriage returns and line feeds.
// Returns the final status or FETCH_FAILED; other statuses leave text unchanged.
std::uint32_t HttpGetText(const std::string& url, std::string& text);

// Writes the body of a 2xx answer to the file at path (created or truncated). Other
// statuses neither create nor touch the file; a failure while reading removes the file
// rather than leave a cut-off picture behind.
std::uint32_t HttpGetFile(const std::string& url, const std::string& path);
