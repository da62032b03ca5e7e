// What the protected album's view answer asks the question dialog to do.
#pragma once

#include <string>

namespace kivo {

enum class ViewOutcome {
  kNoAnswer,    // no root element (no answer, not XML): the dialog ends, photos untouched
  kNewPicture,  // the code was wrong or stale: fetch a new picture, stay open
  kStay,        // refused (wrong answer, unknown or missing ret): stay open
  kAccepted,    // ret "0": the photo list comes with the answer; the dialog ends
};

struct ViewAnswer {
  ViewOutcome outcome = ViewOutcome::kNoAnswer;
  std::string ret;    // the root's first ret child, trimmed
  bool hasMsg = false;  // the root has a msg child: its text goes to the user first
  std::string msg;
};

ViewAnswer ReadViewAnswer(const std::string& text);

}  // namespace kivo
