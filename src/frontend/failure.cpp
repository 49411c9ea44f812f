// The one wording of a failure's message, from its values.
#include "frontend/failure.hpp"

namespace velmora::frontend {

std::string failure_text(const Failure& failure) {
  std::string text;
  if (!failure.file.empty()) {
    text = failure.file;
    if (failure.line > 0) text += ", line " + std::to_string(failure.line);
    if (!failure.answer.empty()) text += " (" + failure.answer + ")";
  } else if (!failure.option.empty()) {
    text = failure.option;
  }
  return text.empty() ? failure.reason : text + ": " + failure.reason;
}

}  // namespace velmora::frontend
