// The one wording of a failure's message, from its values.
#include "errors/failure.hpp"

namespace velmora::frontend {

const char* failure_code_name(FailureCode code) {
  switch (code) {
    case FailureCode::usage:
      return "usage";
    case FailureCode::option:
      return "option";
    case FailureCode::file:
      return "file";
    case FailureCode::answers:
      return "answers";
    case FailureCode::table:
      return "table";
    case FailureCode::cif:
      return "cif";
    case FailureCode::powder:
      return "powder";
    case FailureCode::structure:
      return "structure";
    case FailureCode::refused:
      break;
  }
  return "refused";
}

std::string failure_place(const Failure& failure) {
  std::string text;
  if (!failure.file.empty()) {
    text = failure.file;
    if (failure.line > 0) text += ", line " + std::to_string(failure.line);
    if (!failure.answer.empty()) text += " (" + failure.answer + ")";
  } else if (!failure.option.empty()) {
    text = failure.option;
  }
  return text;
}

std::string failure_text(const Failure& failure) {
  const std::string place = failure_place(failure);
  return place.empty() ? failure.reason : place + ": " + failure.reason;
}

}  // namespace velmora::frontend
