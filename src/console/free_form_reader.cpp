// The free-form reader. Values are scanned one character at a time and never
// held whole, so a line of any length costs no memory; a real keeps only the
// significant digits that exact rounding needs.
#include "console/free_form_reader.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "console/console.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"
#include "numbers/decimal_to_float.hpp"

namespace velmora {
namespace {

constexpr int kEnd = InputSource::kEnd;

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_separator(int c) { return is_blank(c) || c == ',' || c == '/' || c == kEnd; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
int lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

const char* kind_word(TargetKind kind) {
  switch (kind) {
    case TargetKind::integer:
      return "INTEGER";
    case TargetKind::real:
      return "REAL";
    case TargetKind::text:
      return "CHARACTER";
  }
  return "";
}

// A value read for one target: nothing (null), or a value of the target's
// kind. Texts hold the target's length exactly.
struct Value {
  bool null = true;
  TargetKind kind = TargetKind::real;
  std::int32_t integer = 0;
  float real = 0.0f;
  std::string text;
};

// Partial scans that a run of leading digits feeds before it is known whether
// they are a repeat count or the start of the value itself.
struct RealScan {
  DecimalDigits decimal;
  bool any_digit = false;
  bool seen_point = false;

  void digit(int d) {
    any_digit = true;
    if (decimal.count == 0 && d == 0) {
      if (seen_point) --decimal.point;  // a zero between the point and the first significant digit
      return;
    }
    decimal.push(d);
    if (!seen_point) ++decimal.point;
  }
};

struct IntegerScan {
  std::uint64_t magnitude = 0;  // saturates just above the 32-bit range
  bool any_digit = false;

  void digit(int d) {
    any_digit = true;
    if (magnitude <= std::uint64_t{1} << 32) magnitude = magnitude * 10 + static_cast<unsigned>(d);
  }
};

struct TextScan {
  std::string kept;  // the first `length` characters
  std::size_t length = 0;

  void character(int c) {
    if (kept.size() < length) kept += static_cast<char>(c);
  }
  std::string padded() const { return kept + std::string(length - kept.size(), ' '); }
};

class Reader {
 public:
  Reader(Console& console, InputSource& source, std::source_location statement)
      : console_(console), source_(source), statement_(statement) {}

  void read(std::span<const ReadTarget> targets);

 private:
  [[noreturn]] void fail(std::string_view reason) {
    FailurePlace place{statement_, source_.channel(), {}, false, source_.line()};
    if (source_.channel() == kDataFileChannel) place.file_name = source_.name();
    fail_run(console_, place, reason);
  }
  [[noreturn]] void fail_item(const char* format) {
    char text[96];
    std::snprintf(text, sizeof text, format, item_);
    fail(text);
  }
  [[noreturn]] void fail_end() {
    if (source_.read_error() != 0) fail(std::strerror(source_.read_error()));
    fail("End of file");
  }

  void skip_blanks() {
    int c;
    do c = source_.get();
    while (is_blank(c));
    source_.unget(c);
  }
  void discard_rest_of_line() {
    int c;
    do c = source_.get();
    while (c != '\n' && c != kEnd);
  }

  Value read_value(const ReadTarget& target, bool allow_repeat);
  Value finish_real(RealScan& scan, bool negative);
  Value finish_integer(IntegerScan& scan, bool negative);
  Value finish_unquoted_text(TextScan& scan);
  Value read_quoted_text(std::size_t length);
  Value read_word(bool negative);
  void expect_letters(const char* letters, const char* failure);
  void store(const ReadTarget& target, const Value& value);

  Console& console_;
  InputSource& source_;
  std::source_location statement_;
  int item_ = 0;
  std::int64_t repeat_left_ = 0;  // targets still to receive repeat_value_
  Value repeat_value_;
};

void Reader::store(const ReadTarget& target, const Value& value) {
  if (value.null) return;
  if (value.kind != target.kind) {
    char text[128];
    std::snprintf(text, sizeof text, "Read type %s where %s was expected for item %d", kind_word(value.kind),
                  kind_word(target.kind), item_);
    fail(text);
  }
  switch (target.kind) {
    case TargetKind::integer:
      *target.integer = value.integer;
      break;
    case TargetKind::real:
      *target.real = value.real;
      break;
    case TargetKind::text:
      for (std::size_t i = 0; i < target.text.size(); ++i) {
        target.text[i] = i < value.text.size() ? value.text[i] : ' ';
      }
      break;
  }
}

void Reader::read(std::span<const ReadTarget> targets) {
  source_.before_read();
  bool complete = false;
  for (std::size_t index = 0; index < targets.size(); ++index) {
    const ReadTarget& target = targets[index];
    ++item_;
    if (complete) continue;
    if (repeat_left_ > 0) {
      --repeat_left_;
      store(target, repeat_value_);
      continue;
    }
    skip_blanks();
    if (index == 0) {
      if (source_.peek() == kEnd) fail_end();
    } else {
      int c = source_.get();
      if (c == ',') {
        skip_blanks();
      } else if (c == '/') {
        complete = true;
        continue;
      } else {
        source_.unget(c);
      }
    }
    store(target, read_value(target, true));
  }
  discard_rest_of_line();
}

Value Reader::read_value(const ReadTarget& target, bool allow_repeat) {
  int c = source_.peek();
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '/') return Value{};
  if (c == kEnd) fail_end();
  std::size_t text_length = target.text.size();
  if (target.kind == TargetKind::text && (c == '\'' || c == '"')) return read_quoted_text(text_length);

  RealScan real;
  IntegerScan integer;
  TextScan text;
  text.length = text_length;
  if (allow_repeat && is_digit(c)) {
    std::uint64_t count = 0;
    while (is_digit(c = source_.get())) {
      int d = c - '0';
      if (count <= static_cast<std::uint64_t>(kMaxRepeatCount)) count = count * 10 + static_cast<unsigned>(d);
      real.digit(d);
      integer.digit(d);
      text.character(c);
    }
    if (c == '*') {
      if (count == 0) fail_item("Zero repeat count in item %d of list input");
      if (count > static_cast<std::uint64_t>(kMaxRepeatCount))
        fail_item("Repeat count overflow in item %d of list input");
      Value value;
      if (!is_separator(source_.peek())) value = read_value(target, false);
      repeat_value_ = value;
      repeat_left_ = static_cast<std::int64_t>(count) - 1;
      return value;
    }
    source_.unget(c);
  }
  switch (target.kind) {
    case TargetKind::real:
      return finish_real(real, false);
    case TargetKind::integer:
      return finish_integer(integer, false);
    case TargetKind::text:
      return finish_unquoted_text(text);
  }
  return Value{};
}

Value Reader::finish_real(RealScan& scan, bool negative) {
  int c = source_.get();
  if (!scan.any_digit && !scan.seen_point && (c == '+' || c == '-')) {
    negative = c == '-';
    c = source_.get();
  }
  if (!scan.any_digit && (lower(c) == 'i' || lower(c) == 'n')) {
    source_.unget(c);
    return read_word(negative);
  }
  for (;; c = source_.get()) {
    if (is_digit(c)) {
      scan.digit(c - '0');
    } else if (c == '.' && !scan.seen_point) {
      scan.seen_point = true;
    } else {
      break;
    }
  }
  if (!scan.any_digit) fail_item("Bad real number in item %d of list input");
  if (!is_separator(c)) {
    // Exponent: a letter E or D with an optional sign, or a sign alone.
    bool has_letter = lower(c) == 'e' || lower(c) == 'd';
    if (!has_letter && c != '+' && c != '-') fail_item("Bad real number in item %d of list input");
    if (has_letter) c = source_.get();
    bool exponent_negative = false;
    if (c == '+' || c == '-') {
      exponent_negative = c == '-';
      c = source_.get();
    }
    if (!is_digit(c)) fail_item("Bad real number in item %d of list input");
    std::int64_t exponent = 0;
    for (; is_digit(c); c = source_.get()) {
      if (exponent < 1000000000) exponent = exponent * 10 + (c - '0');
    }
    if (!is_separator(c)) fail_item("Bad real number in item %d of list input");
    scan.decimal.point += exponent_negative ? -exponent : exponent;
  }
  source_.unget(c);
  Value value;
  value.null = false;
  value.kind = TargetKind::real;
  float magnitude = decimal_to_float(scan.decimal);
  value.real = negative ? -magnitude : magnitude;
  return value;
}

void Reader::expect_letters(const char* letters, const char* failure) {
  for (const char* p = letters; *p != '\0'; ++p) {
    if (lower(source_.get()) != *p) fail_item(failure);
  }
}

// INF, INFINITY or NAN in any case, after an optional sign.
Value Reader::read_word(bool negative) {
  Value value;
  value.null = false;
  value.kind = TargetKind::real;
  constexpr const char* kBadInfinity = "Bad infinity in item %d of list input";
  constexpr const char* kBadNan = "Bad not-a-number in item %d of list input";
  if (lower(source_.peek()) == 'i') {
    expect_letters("inf", kBadInfinity);
    int c = source_.get();
    if (lower(c) == 'i') {
      expect_letters("nity", kBadInfinity);
      c = source_.get();
    }
    if (!is_separator(c)) fail_item(kBadInfinity);
    source_.unget(c);
    value.real = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  } else {
    expect_letters("nan", kBadNan);
    int c = source_.get();
    if (!is_separator(c)) fail_item(kBadNan);
    source_.unget(c);
    float nan = std::numeric_limits<float>::quiet_NaN();
    value.real = negative ? -nan : nan;
  }
  return value;
}

Value Reader::finish_integer(IntegerScan& scan, bool negative) {
  int c = source_.get();
  if (!scan.any_digit && (c == '+' || c == '-')) {
    negative = c == '-';
    c = source_.get();
  }
  for (; is_digit(c); c = source_.get()) scan.digit(c - '0');
  if (!scan.any_digit || !is_separator(c)) fail_item("Bad integer for item %d in list input");
  source_.unget(c);
  if (scan.magnitude > 2147483647u) fail_item("Integer overflow while reading item %d");
  Value value;
  value.null = false;
  value.kind = TargetKind::integer;
  value.integer = static_cast<std::int32_t>(scan.magnitude);
  if (negative) value.integer = -value.integer;
  return value;
}

Value Reader::finish_unquoted_text(TextScan& scan) {
  int c;
  while (!is_separator(c = source_.get())) scan.character(c);
  source_.unget(c);
  Value value;
  value.null = false;
  value.kind = TargetKind::text;
  value.text = scan.padded();
  return value;
}

// A text in apostrophes or double quotes; a doubled quote stands for one, and
// a line end inside is dropped.
Value Reader::read_quoted_text(std::size_t length) {
  const int quote = source_.get();
  TextScan scan;
  scan.length = length;
  for (;;) {
    int c = source_.get();
    if (c == kEnd) fail_end();
    if (c == '\n') continue;
    if (c == quote) {
      if (source_.peek() != quote) break;
      source_.get();
    }
    scan.character(c);
  }
  Value value;
  value.null = false;
  value.kind = TargetKind::text;
  value.text = scan.padded();
  return value;
}

}  // namespace

void read_free_form(Console& console, InputSource& source, std::initializer_list<ReadTarget> targets,
                    std::source_location statement) {
  Reader(console, source, statement).read(std::span<const ReadTarget>(targets.begin(), targets.size()));
}

void read_free_form(Console& console, InputSource& source, std::span<const ReadTarget> targets,
                    std::source_location statement) {
  Reader(console, source, statement).read(targets);
}

std::string read_fixed_text(Console& console, InputSource& source, int width,
                            std::source_location statement) {
  source.before_read();
  std::string line;
  int c = source.get();
  if (c == kEnd) {
    FailurePlace place{statement, source.channel(), {}, false, source.line()};
    if (source.channel() == kDataFileChannel) place.file_name = source.name();
    fail_run(console, place, source.read_error() != 0 ? std::strerror(source.read_error()) : "End of file");
  }
  for (; c != '\n' && c != kEnd; c = source.get()) {
    if (static_cast<int>(line.size()) < width) line += static_cast<char>(c);
  }
  line.resize(static_cast<std::size_t>(width), ' ');
  return line;
}

}  // namespace velmora
