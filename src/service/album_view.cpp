#include "service/album_view.h"

#include "base/gbk_text.h"
#include "service/xml_text.h"

namespace kivo {

ViewAnswer ReadViewAnswer(const std::string& text) {
  ViewAnswer answer;
  TiXmlDocument doc;
  const TiXmlElement* root = ParseDocument(doc, text);
  if (!root)
    return answer;
  answer.ret = TrimBlanks(ChildText(*root, "ret"));
  answer.hasMsg = root->FirstChildElement("msg") != nullptr;
  answer.msg = ChildText(*root, "msg");
  // Compared whole and case-sensitive: "00" or "0x" is not acceptance.
  if (answer.ret == "0")
    answer.outcome = ViewOutcome::kAccepted;
  else if (answer.ret == "-907" || answer.ret == "-906" || answer.ret == "-805")
    answer.outcome = ViewOutcome::kNewPicture;
  else
    answer.outcome = ViewOutcome::kStay;
  return answer;
}

}  // namespace kivo
