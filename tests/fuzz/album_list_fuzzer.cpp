// Album list answers, read both ways the listing reads them: the route's probe and the
// list itself must agree on whether there is an album.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/answer_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  std::vector<AlbumInfo> albums(1);
  const bool root = kivo::ParseAlbumList(list, albums);
  if (kivo::HasAlbums(list) != !albums.empty() || (!root && !albums.empty()))
    __builtin_trap();
  return 0;
}
