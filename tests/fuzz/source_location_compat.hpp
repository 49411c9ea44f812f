// Forced into every file of the fuzz build: clang 14 lacks the builtin that libstdc++'s
// <source_location> needs, so this supplies the class from the older builtins, which clang
// evaluates at the call site; with a library that has its own, it is not used.
#pragma once

#include <source_location>

#if !defined(__cpp_lib_source_location)
namespace std {

struct source_location {
  static constexpr source_location current(const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION(),
                                           unsigned line = __builtin_LINE(),
                                           unsigned column = __builtin_COLUMN()) noexcept {
    source_location place;
    place.file_ = file, place.function_ = function, place.line_ = line, place.column_ = column;
    return place;
  }
  constexpr source_location() noexcept = default;
  constexpr unsigned line() const noexcept { return line_; }
  constexpr unsigned column() const noexcept { return column_; }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr const char* function_name() const noexcept { return function_; }

 private:
  const char* file_ = "";
  const char* function_ = "";
  unsigned line_ = 0;
  unsigned column_ = 0;
};

}  // namespace std
#endif
