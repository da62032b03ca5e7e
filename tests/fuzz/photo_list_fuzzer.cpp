// Photo list answers, also the form of a protected album's view answer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/answer_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  std::vector<PhotoInfo> photos(1);
  if (!ParsePhotoList(photos, list) && !photos.empty())
    __builtin_trap();
  return 0;
}
