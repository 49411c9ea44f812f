// How velmora-powder reports trouble: every error ends the run through
// fail_powder, the companions' one failure (errors/failure.hpp), before any
// output file is in place; notes and warnings, which do not stop the run, are
// the companions' remarks.
#pragma once

#include <string>

#include "errors/failure.hpp"
#include "errors/remarks.hpp"

namespace velmora::powder {

using PowderError = frontend::Error;
using Remarks = frontend::Remarks;

[[noreturn]] inline void fail_powder(const std::string& message) {
  frontend::fail(message, frontend::FailureCode::powder);
}

}  // namespace velmora::powder
