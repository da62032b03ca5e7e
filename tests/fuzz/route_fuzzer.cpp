// Route answers: whatever the positions come to, each host is a piece of the answer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "service/answer_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string route(reinterpret_cast<const char*>(data), size);
  std::string album_host = "old", photo_host = "old";
  kivo::ParseRoute(route, album_host, photo_host);
  if (route.find(album_host) == std::string::npos || route.find(photo_host) == std::string::npos)
    __builtin_trap();
  return 0;
}
