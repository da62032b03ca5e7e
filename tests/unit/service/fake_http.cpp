#include "fake_http.h"

#include <fstream>

namespace kivo::test {

std::map<std::string, FakeAnswer> FakeHttp::answers;
std::vector<std::string> FakeHttp::requests;

namespace {

bool IsSuccess(std::uint32_t status) {
  return status >= 200 && status <= 299;
}

const FakeAnswer* Answer(const std::string& url) {
  FakeHttp::requests.push_back(url);
  auto found = FakeHttp::answers.find(url);
  return found == FakeHttp::answers.end() ? nullptr : &found->second;
}

}  // namespace

}  // namespace kivo::test

using kivo::test::FakeAnswer;

std::uint32_t HttpGetText(const std::string& url, std::string& text) {
  const FakeAnswer* answer = kivo::test::Answer(url);
  if (!answer)
    return FETCH_FAILED;
  if (kivo::test::IsSuccess(answer->status) || answer->status == FETCH_FAILED) {
    for (char c : answer->body) {
      if (c != '\r' && c != '\n')
        text += c;
    }
  }
  return answer->status;
}

std::uint32_t HttpGetFile(const std::string& url, const std::string& path) {
  const FakeAnswer* answer = kivo::test::Answer(url);
  if (!answer)
    return FETCH_FAILED;
  if (kivo::test::IsSuccess(answer->status) || answer->status == FETCH_FAILED)
    std::ofstream(path, std::ios::binary | std::ios::trunc) << answer->body;
  return answer->status;
}
