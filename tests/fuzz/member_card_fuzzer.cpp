// Member card answers: the nickname is a piece of the answer, and a card without one
// leaves the caller's nickname alone.
#include <cstddef>
#include <cstdint>
#include <string>

#include "service/answer_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string card(reinterpret_cast<const char*>(data), size);
  std::string nickname = "\x01untouched";
  if (kivo::ParseNickname(card, nickname)) {
    if (card.find("\"nick\":\"" + nickname + "\",") == std::string::npos)
      __builtin_trap();
  } else if (nickname != "\x01untouched") {
    __builtin_trap();
  }
  return 0;
}
