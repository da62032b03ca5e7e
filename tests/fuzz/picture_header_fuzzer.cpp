// Headers of downloaded pictures: a size is read only from the bytes given, and bytes added
// after a size was found never change it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/picture_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kivo::PictureSize found;
  if (!kivo::ReadPictureSize(data, size, &found))
    return 0;
  std::vector<std::uint8_t> longer(data, data + size);
  longer.resize(size + 64, 0xFF);
  kivo::PictureSize again;
  if (!kivo::ReadPictureSize(longer.data(), longer.size(), &again) || again.width != found.width ||
      again.height != found.height)
    __builtin_trap();
  kivo::IsAcceptablePictureSize(found.width, found.height);
  return 0;
}
