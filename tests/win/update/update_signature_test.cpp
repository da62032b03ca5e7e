// The signature check against material made at run time by the signing tool: a program
// signed by key a, and the public texts of keys a and b.
#include "update/update_signature_win.h"

#include <gtest/gtest.h>

#include <string>

#include "fetch_support.h"
#include "update_test_support.h"

namespace {

using kivo::SignatureCheck;
using fetchtest::ReadFileBytes;
using fetchtest::WriteFileBytes;

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

class UpdateSignature : public testing::Test {
 protected:
  void SetUp() override {
    program_ = ReadFileBytes(updatetest::SigningMaterial("update.exe"));
    signature_ = ReadFileBytes(updatetest::SigningMaterial("update.exe.sig"));
    keyA_ = ReadFileBytes(updatetest::SigningMaterial("a.pub"));
    keyB_ = ReadFileBytes(updatetest::SigningMaterial("b.pub"));
    ASSERT_FALSE(program_.empty()) << "no signing material: run through ctest";
    ASSERT_EQ(64u, signature_.size());
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "kivo-signature-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(folder_.c_str(), nullptr);
    updatetest::EmptyFolder(folder_);
  }
  void TearDown() override {
    updatetest::EmptyFolder(folder_);
    ::RemoveDirectoryA(folder_.c_str());
  }

  std::string program_, signature_, keyA_, keyB_, folder_;
};

TEST_F(UpdateSignature, OnlyTheRightKeysSignatureOfTheSameBytesPasses) {
  std::string upperA = keyA_;
  for (char& c : upperA)
    c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
  const std::string missing = "(none)";
  struct Case {
    const char* what;
    std::string file, signature, key;
    SignatureCheck expected;
  } cases[] = {
      {"good signature", program_, signature_, keyA_, SignatureCheck::kValid},
      {"key text upper case, blanks around", program_, signature_, "  " + upperA + "\r\n",
       SignatureCheck::kValid},
      {"a byte of the program flipped", Flipped(program_, program_.size() / 2), signature_, keyA_,
       SignatureCheck::kMismatch},
      {"the program's last byte flipped", Flipped(program_, program_.size() - 1), signature_, keyA_,
       SignatureCheck::kMismatch},
      {"a byte appended to the program", program_ + "x", signature_, keyA_, SignatureCheck::kMismatch},
      {"a byte of r flipped", program_, Flipped(signature_, 3), keyA_, SignatureCheck::kMismatch},
      {"a byte of s flipped", program_, Flipped(signature_, 40), keyA_, SignatureCheck::kMismatch},
      {"signed by another key", program_, signature_, keyB_, SignatureCheck::kMismatch},
      {"no signature file", program_, missing, keyA_, SignatureCheck::kBadSignature},
      {"empty signature", program_, "", keyA_, SignatureCheck::kBadSignature},
      {"short signature", program_, signature_.substr(0, 63), keyA_, SignatureCheck::kBadSignature},
      {"signature with a byte more", program_, signature_ + "x", keyA_, SignatureCheck::kBadSignature},
      {"an error page for a signature", program_, "<html>Not Found</html>", keyA_, SignatureCheck::kBadSignature},
      {"no program file", missing, signature_, keyA_, SignatureCheck::kFailed},
      {"empty key text", program_, signature_, "", SignatureCheck::kBadKey},
      {"key one digit short", program_, signature_, keyA_.substr(0, 127), SignatureCheck::kBadKey},
      {"key one digit long", program_, signature_, keyA_.substr(0, 128) + "0", SignatureCheck::kBadKey},
      {"key with a letter not hex", program_, signature_, "g" + keyA_.substr(1, 127), SignatureCheck::kBadKey},
      {"key with a blank inside", program_, signature_, keyA_.substr(0, 64) + " " + keyA_.substr(64, 64),
       SignatureCheck::kBadKey},
  };
  for (std::size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    const std::string file = folder_ + std::to_string(i) + ".exe";
    const std::string signature = file + ".sig";
    if (c.file != missing)
      WriteFileBytes(file, c.file);
    if (c.signature != missing)
      WriteFileBytes(signature, c.signature);
    EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(kivo::VerifyUpdateSignature(file, signature, c.key)));
  }
}

TEST_F(UpdateSignature, AKeyThatIsNoPointOfTheCurveNeverPasses) {
  std::string offCurve = keyA_.substr(0, 128);
  offCurve[127] = offCurve[127] == '0' ? '1' : '0';  // Y's last digit
  const std::string file = folder_ + "update.exe";
  WriteFileBytes(file, program_);
  WriteFileBytes(file + ".sig", signature_);
  const SignatureCheck result = kivo::VerifyUpdateSignature(file, file + ".sig", offCurve);
  EXPECT_TRUE(result == SignatureCheck::kBadKey || result == SignatureCheck::kMismatch)
      << static_cast<int>(result);
}

}  // namespace
