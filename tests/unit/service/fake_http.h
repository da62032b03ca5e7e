// Stands in for the platform fetch: answers from a table by URL and records every URL
// asked, in order. A URL that is not in the table fails below HTTP.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "service/http_fetch.h"

namespace kivo::test {

struct FakeAnswer {
  std::string body;
  std::uint32_t status = 200;  // FETCH_FAILED with a body: the connection broke after it
};

struct FakeHttp {
  static std::map<std::string, FakeAnswer> answers;
  static std::vector<std::string> requests;

  static void Reset() {
    answers.clear();
    requests.clear();
  }
};

}  // namespace kivo::test
