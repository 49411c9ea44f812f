// The free-form reader against its input rules: layout of values over lines,
// commas, nulls, the slash, repeat counts, reals, integers and texts, the
// discard of the rest of the line, and every failure with its exact reason and
// item number. One helper runs one read over a given text and reports either
// the targets and the input left for the next read, or the diagnostic.
#include "console/free_form_reader.hpp"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using namespace std::string_literals;
using velmora::Console;
using velmora::InputSource;
using velmora::ReadTarget;
using velmora::RunEnded;

// Targets start out as these values, so that a target left unchanged (null
// value, slash) is seen as such.
constexpr float kRealSentinel = -7777.0f;
constexpr std::int32_t kIntegerSentinel = -7777;
constexpr std::array<char, 3> kTextSentinel = {'#', '#', '#'};
const std::string kUnchanged = "unchanged";

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

std::string render(float f) {
  if (bits(f) == bits(kRealSentinel)) return kUnchanged;
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, f);  // shortest text that reads back exactly
  return std::string(text, result.ptr);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// What one read did: the status (0 when it returned), each target rendered
// ("unchanged" for a target the read left alone), the input that the next
// read sees, and the lines of the diagnostic when it failed.
struct Outcome {
  int status = 0;
  std::vector<std::string> values;
  std::vector<float> reals;  // the real targets, for bit checks
  std::string rest;
  std::vector<std::string> err_lines;
  std::string reason() const {
    const std::string prefix = std::string(velmora::kReasonPrefix) + ": ";
    if (err_lines.size() != 3 || err_lines[2].rfind(prefix, 0) != 0) return "<malformed diagnostic>";
    return err_lines[2].substr(prefix.size());
  }
};

// Target kinds: R real, I integer, T text of 3 characters.
Outcome read_from(Console& console, InputSource& source, std::string_view kinds) {
  std::vector<float> reals(kinds.size(), kRealSentinel);
  std::vector<std::int32_t> integers(kinds.size(), kIntegerSentinel);
  std::vector<std::array<char, 3>> texts(kinds.size(), kTextSentinel);
  std::vector<ReadTarget> targets;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    switch (kinds[i]) {
      case 'R':
        targets.push_back(velmora::target(reals[i]));
        break;
      case 'I':
        targets.push_back(velmora::target(integers[i]));
        break;
      case 'T':
        targets.push_back(velmora::target(std::span<char>(texts[i])));
        break;
      default:
        ADD_FAILURE() << "unknown target kind " << kinds[i];
    }
  }
  Outcome outcome;
  try {
    velmora::read_free_form(console, source, std::span<const ReadTarget>(targets));
  } catch (const RunEnded& end) {
    outcome.status = end.status;
    outcome.err_lines = split_lines(console.err_text);
    return outcome;
  }
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    switch (kinds[i]) {
      case 'R':
        outcome.values.push_back(render(reals[i]));
        outcome.reals.push_back(reals[i]);
        break;
      case 'I':
        outcome.values.push_back(integers[i] == kIntegerSentinel ? kUnchanged : std::to_string(integers[i]));
        break;
      case 'T':
        outcome.values.push_back(texts[i] == kTextSentinel ? kUnchanged : std::string(texts[i].data(), 3));
        break;
    }
  }
  for (int c; (c = source.get()) != InputSource::kEnd;) outcome.rest += static_cast<char>(c);
  outcome.err_lines = split_lines(console.err_text);
  return outcome;
}

// One read of the given targets from standard input holding `input`.
Outcome read_once(const std::string& input, std::string_view kinds) {
  Console console(input, "\n");
  return read_from(console, console.in, kinds);
}

// ---------------------------------------------------------------------------
// Table of reads: a success gives values and the rest of the input; a failure
// gives exit status 2 and the reason text.

struct ReadCase {
  std::string name;
  std::string input;
  std::string kinds;
  std::vector<std::string> values;
  std::string rest;
  std::string reason;  // empty for a read that succeeds
};

ReadCase ok(std::string name, std::string input, std::string kinds, std::vector<std::string> values,
            std::string rest = "") {
  return {std::move(name), std::move(input), std::move(kinds), std::move(values), std::move(rest), {}};
}

ReadCase fails(std::string name, std::string input, std::string kinds, std::string reason) {
  return {std::move(name), std::move(input), std::move(kinds), {}, {}, std::move(reason)};
}

std::string case_name(const testing::TestParamInfo<ReadCase>& info) { return info.param.name; }
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const std::string kUn = kUnchanged;

const std::vector<ReadCase> kLayoutCases = {
    ok("SixValuesOnOneLine", "5 5 5 90 90 90\n", "RRRRRR", {"5", "5", "5", "90", "90", "90"}),
    ok("SixValuesOnSixLines", "5\n5\n5\n90\n90\n90\n", "RRRRRR", {"5", "5", "5", "90", "90", "90"}),
    ok("SixValuesSeparatedByCommas", "5,5,5,90,90,90\n", "RRRRRR", {"5", "5", "5", "90", "90", "90"}),
    ok("TabsAndCarriageReturnsAreBlanks", "\t5\t6\r7 \r 8\t\r\n9\r\r10\n", "RRRRRR",
       {"5", "6", "7", "8", "9", "10"}),
    ok("EmptyLinesBeforeAndBetweenValuesAreSkipped", "\n\n   \n\t\n5\n\n \n7\n8\n", "RR", {"5", "7"}, "8\n"),
    ok("BlanksAroundCommasBelongToTheSeparator", "5 , 7 ,\t9\n", "RRR", {"5", "7", "9"}),
    ok("CommaAtStartOfNextLineSeparates", "5\n,7\n", "RR", {"5", "7"}),
    ok("CommaIsNeverADecimalSign", "5,25\n", "RR", {"5", "25"}),
    ok("CommaIsNeverADecimalSignAndRestIsLost", "5,25\n1\n", "R", {"5"}, "1\n"),
    ok("BlankBetweenCommasIsANullValue", "5, ,5\n", "RRR", {"5", kUn, "5"}),
    ok("TwoCommasInARowGiveANullValue", "5,,5\n", "RRR", {"5", kUn, "5"}),
    ok("LeadingCommaGivesANullFirstValue", ",7\n", "RR", {kUn, "7"}),
    ok("LeadingCommaAfterEmptyLines", "\n\n,7\n", "RR", {kUn, "7"}),
    ok("OnlyCommasGiveNullValues", ",,,\n", "RRR", {kUn, kUn, kUn}),
    // After a comma, blanks (line ends included) are skipped before the value.
    ok("CommaBeforeLineEndTakesTheValueFromTheNextLine", ",,\n7\n", "RRR", {kUn, kUn, "7"}),
    ok("NullValuesForIntegersAndTexts", ",,\n", "IT", {kUn, kUn}),
    ok("NullBetweenTextValues", "Fe,,Ni\n", "TTT", {"Fe ", kUn, "Ni "}),
    ok("TrailingCommaAfterLastValue", "5,\n8\n", "R", {"5"}, "8\n"),
    ok("LastLineWithoutLineFeedIsALine", "5 6", "RR", {"5", "6"}),
    ok("LastValueAtEndOfInput", "5\n6", "RR", {"5", "6"}),
};

const std::vector<ReadCase> kSlashCases = {
    ok("SlashAfterBlankLeavesLaterTargetsUnchanged", "5 5 5 /\n", "RRRRRR", {"5", "5", "5", kUn, kUn, kUn}),
    ok("SlashRightAfterAValue", "5 5 5/\n", "RRRRRR", {"5", "5", "5", kUn, kUn, kUn}),
    ok("SlashAloneLeavesEveryTargetUnchanged", "/\n", "RIT", {kUn, kUn, kUn}),
    ok("SlashAfterEmptyLines", "\n\n  /\n", "RR", {kUn, kUn}),
    ok("SlashAfterComma", "5,/\n", "RRR", {"5", kUn, kUn}),
    ok("SlashDiscardsTheRestOfItsLine", "5 / 7 8\n9\n", "RRR", {"5", kUn, kUn}, "9\n"),
    ok("SlashOnALaterLine", "5\n/ 9\n10\n", "RRR", {"5", kUn, kUn}, "10\n"),
    ok("SlashEndsAReadOfIntegersAndTexts", "3 Fe/ 4\n", "ITI", {"3", "Fe ", kUn}),
    ok("SlashAfterTheLastTargetIsDiscarded", "5 /\n", "R", {"5"}),
    ok("SlashEndsAPendingRepeatOfNulls", "2*/\n", "RRR", {kUn, kUn, kUn}),
    ok("SlashAfterARepeatedValue", "2*5/ 7\n", "RRRR", {"5", "5", kUn, kUn}),
};

const std::vector<ReadCase> kRepeatCases = {
    ok("RepeatFillsSixReals", "6*5\n", "RRRRRR", {"5", "5", "5", "5", "5", "5"}),
    ok("RepeatFollowedByBlankGivesNulls", "3* 7\n", "RRRR", {kUn, kUn, kUn, "7"}),
    ok("RepeatFollowedByLineEndGivesNulls", "3*\n7\n", "RRRR", {kUn, kUn, kUn, "7"}),
    ok("RepeatFollowedByCommaGivesNulls", "2*,7\n", "RRR", {kUn, kUn, "7"}),
    ok("RepeatAtEndOfInputGivesNulls", "2*", "RR", {kUn, kUn}),
    ok("RepeatedNullsFitEveryKind", "3*\n", "RIT", {kUn, kUn, kUn}),
    ok("RepeatOfOne", "1*5 7\n", "RR", {"5", "7"}),
    ok("TwoRepeatsInARow", "2*5 3*-7\n", "RRRRR", {"5", "5", "-7", "-7", "-7"}),
    ok("RepeatOfIntegers", "3*-7\n", "III", {"-7", "-7", "-7"}),
    ok("RepeatOfAText", "2*Fe\n", "TT", {"Fe ", "Fe "}),
    ok("RepeatOfAQuotedText", "2*'a b'\n", "TT", {"a b", "a b"}),
    ok("RepeatOfADigitText", "2*12\n", "TT", {"12 ", "12 "}),
    ok("RepeatSpreadsOverTheNextLine", "2*4\n5\n", "RRR", {"4", "4", "5"}),
    ok("RepeatsPastTheLastTargetAreDropped", "5*1\n2\n", "RR", {"1", "1"}, "2\n"),
    ok("RepeatedNullsPastTheLastTargetAreDropped", "5*\n2\n", "RR", {kUn, kUn}, "2\n"),
    ok("RepeatCountAtLimitIsAccepted", "200000000*5\n", "RR", {"5", "5"}),
    ok("RepeatCountWithLeadingZeros", "000000000000000000000000002*5\n", "RR", {"5", "5"}),
    fails("RepeatCountAboveLimitFails", "200000001*5\n", "RR",
          "Repeat count overflow in item 1 of list input"),
    fails("RepeatCountOfManyDigitsFails", "99999999999999999999999999999999999999*5\n", "R",
          "Repeat count overflow in item 1 of list input"),
    fails("RepeatCountOverflowNamesItsItem", "1 2 300000000*\n", "RRR",
          "Repeat count overflow in item 3 of list input"),
    fails("ZeroRepeatCountFails", "0*5\n", "R", "Zero repeat count in item 1 of list input"),
    fails("ZeroRepeatCountOfNullsFails", "5 00* 6\n", "RRR", "Zero repeat count in item 2 of list input"),
    fails("RepeatedRealOfferedToAnIntegerFails", "3*5\n", "RRI",
          "Read type REAL where INTEGER was expected for item 3"),
    fails("RepeatedRealOfferedToATextFails", "2*5\n", "RT",
          "Read type REAL where CHARACTER was expected for item 2"),
    fails("RepeatedIntegerOfferedToARealFails", "2*5\n", "IR",
          "Read type INTEGER where REAL was expected for item 2"),
    fails("RepeatedIntegerOfferedToATextFails", "2*5\n", "IT",
          "Read type INTEGER where CHARACTER was expected for item 2"),
    fails("RepeatedTextOfferedToARealFails", "2*Fe\n", "TR",
          "Read type CHARACTER where REAL was expected for item 2"),
    fails("RepeatedTextOfferedToAnIntegerFails", "2*Fe\n", "TI",
          "Read type CHARACTER where INTEGER was expected for item 2"),
    fails("RepeatRunningIntoAnotherKindNamesThatItem", "Fe 1 3*2\n", "TRRRI",
          "Read type REAL where INTEGER was expected for item 5"),
    fails("RepeatedValueMustBeGoodForItsOwnTarget", "2*x\n", "RR", "Bad real number in item 1 of list input"),
    fails("AsteriskInsideTheRepeatedValueIsBad", "2*5*3\n", "RR", "Bad real number in item 1 of list input"),
    fails("AsteriskWithoutCountIsBad", "*5\n", "R", "Bad real number in item 1 of list input"),
    fails("SignedRepeatCountIsBad", "+2*5\n", "RR", "Bad real number in item 1 of list input"),
};

const std::vector<ReadCase> kRealCases = {
    ok("PlainInteger", "5\n", "R", {"5"}),
    ok("TrailingPoint", "5.\n", "R", {"5"}),
    ok("LeadingPoint", ".5\n", "R", {"0.5"}),
    ok("NegativeFraction", "-0.25\n", "R", {"-0.25"}),
    ok("PlusSign", "+3\n", "R", {"3"}),
    ok("SignedLeadingPoint", "-.5\n", "R", {"-0.5"}),
    ok("ExponentLetters", "1e3 1E3 1d3 1D3 1000\n", "RRRRR", {"1000", "1000", "1000", "1000", "1000"}),
    ok("ExponentWithSigns", "2.5D-4 1e+3 1.5E-1\n", "RRR", {"0.00025", "1000", "0.15"}),
    ok("SignAloneStartsAnExponent", "1.5-3 1.5+3 2-0\n", "RRR", {"0.0015", "1500", "2"}),
    ok("TrailingPointBeforeExponent", "5.e2\n", "R", {"500"}),
    ok("Zero", "0 -0 00.000 0e99\n", "RRRR", {"0", "-0", "0", "0"}),
    ok("OverflowBecomesInfinityWithoutMessage", "1e50 -1e50 1e39\n", "RRR", {"inf", "-inf", "inf"}),
    ok("UnderflowBecomesZero", "1e-50 -1e-50 1e-46\n", "RRR", {"0", "-0", "0"}),
    ok("ExponentOfManyDigits",
       "1e999999999999999999999999999999 1e-999999999999999999999999999999 0e99999999999999999999\n", "RRR",
       {"inf", "0", "0"}),
    // 2^64 and 2^64 + 1: an exponent kept modulo 2^64 would read as 1 and 0.1.
    ok("ExponentBeyondSixtyFourBits", "1e18446744073709551616 1e-18446744073709551617\n", "RR", {"inf", "0"}),
    ok("ExponentOfManyLeadingZeros", "1.5e0000000000000000000000000000001\n", "R", {"15"}),
    ok("LeastSubnormal", "1.4e-45\n", "R", {"1e-45"}),
    ok("InfinityWords", "INF inf Infinity -INF +inf iNfInItY\n", "RRRRRR",
       {"inf", "inf", "inf", "-inf", "inf", "inf"}),
    ok("NotANumberWords", "NaN nan +NaN NAN\n", "RRRR", {"nan", "nan", "nan", "nan"}),
    ok("NegativeNotANumberKeepsItsSign", "-nan\n", "R", {"-nan"}),
    ok("WordEndsAtAComma", "inf,nan/\n", "RRR", {"inf", "nan", kUn}),
    fails("ExponentWithoutDigits", "1e\n", "R", "Bad real number in item 1 of list input"),
    fails("ExponentWithoutDigitsAtEndOfInput", "1e", "R", "Bad real number in item 1 of list input"),
    fails("ExponentSignWithoutDigits", "1.5e+\n", "R", "Bad real number in item 1 of list input"),
    fails("SecondDecimalPoint", "1.2.3\n", "R", "Bad real number in item 1 of list input"),
    fails("SignAfterMantissaWithoutDigits", "1.5+\n", "R", "Bad real number in item 1 of list input"),
    fails("PointAlone", ".\n", "R", "Bad real number in item 1 of list input"),
    fails("SignAlone", "-\n", "R", "Bad real number in item 1 of list input"),
    fails("SignAndPointAlone", "+.\n", "R", "Bad real number in item 1 of list input"),
    fails("TwoSigns", "+-5\n", "R", "Bad real number in item 1 of list input"),
    fails("ExponentWithoutMantissa", "e3\n", "R", "Bad real number in item 1 of list input"),
    fails("PointInExponent", "1e3.5\n", "R", "Bad real number in item 1 of list input"),
    fails("Letters", "abc\n", "R", "Bad real number in item 1 of list input"),
    fails("LetterAfterDigits", "5x\n", "R", "Bad real number in item 1 of list input"),
    fails("SemicolonIsNotASeparator", "5;\n", "R", "Bad real number in item 1 of list input"),
    fails("QuotedNumber", "'5'\n", "R", "Bad real number in item 1 of list input"),
    fails("BadRealNamesItsItem", "1 2 x\n", "RRR", "Bad real number in item 3 of list input"),
    fails("BadRealOnALaterLineNamesItsItem", "1\n2\n\n3x\n", "RRR",
          "Bad real number in item 3 of list input"),
    fails("InfinityWithTrailingLetter", "INFX\n", "R", "Bad infinity in item 1 of list input"),
    fails("InfinityMisspelt", "INFINITE\n", "R", "Bad infinity in item 1 of list input"),
    fails("InfinityCutShort", "IN\n", "R", "Bad infinity in item 1 of list input"),
    fails("InfinityCutShortAtEndOfInput", "INFIN", "R", "Bad infinity in item 1 of list input"),
    fails("InfinityWithTrailingLetters", "infinityy\n", "R", "Bad infinity in item 1 of list input"),
    fails("LetterIAlone", "-i\n", "R", "Bad infinity in item 1 of list input"),
    fails("InfinityWithDigits", "inf5\n", "R", "Bad infinity in item 1 of list input"),
    fails("NotANumberWithWrongLetter", "NAX\n", "R", "Bad not-a-number in item 1 of list input"),
    fails("NotANumberWithTrailingLetter", "NANA\n", "R", "Bad not-a-number in item 1 of list input"),
    fails("NotANumberCutShort", "na\n", "R", "Bad not-a-number in item 1 of list input"),
    fails("NotANumberWithPayload", "nan(1)\n", "R", "Bad not-a-number in item 1 of list input"),
    fails("BadWordNamesItsItem", "1 2 3 4 5 nanx\n", "RRRRRR", "Bad not-a-number in item 6 of list input"),
};

const std::vector<ReadCase> kIntegerCases = {
    ok("PlainInteger", "2\n", "I", {"2"}),
    ok("PlusSign", "+2\n", "I", {"2"}),
    ok("MinusSign", "-7\n", "I", {"-7"}),
    ok("LeadingZeros", "007 -000\n", "II", {"7", "0"}),
    ok("LargestInteger", "2147483647 -2147483647\n", "II", {"2147483647", "-2147483647"}),
    ok("ManyLeadingZerosBeforeLargest", "000000000000000000002147483647\n", "I", {"2147483647"}),
    fails("DecimalPointIsBad", "2.0\n", "I", "Bad integer for item 1 in list input"),
    fails("TrailingPointIsBad", "2.\n", "I", "Bad integer for item 1 in list input"),
    fails("ExponentIsBad", "1e3\n", "I", "Bad integer for item 1 in list input"),
    fails("SignAloneIsBad", "+\n", "I", "Bad integer for item 1 in list input"),
    fails("MinusAloneIsBad", "-\n", "I", "Bad integer for item 1 in list input"),
    fails("TwoSignsAreBad", "+-5\n", "I", "Bad integer for item 1 in list input"),
    fails("SignAfterDigitsIsBad", "5-3\n", "I", "Bad integer for item 1 in list input"),
    fails("LetterIsBad", "x\n", "I", "Bad integer for item 1 in list input"),
    fails("InfinityIsBad", "inf\n", "I", "Bad integer for item 1 in list input"),
    fails("QuotedIntegerIsBad", "'5'\n", "I", "Bad integer for item 1 in list input"),
    fails("BadCharacterWinsOverOverflow", "99999999999x\n", "I", "Bad integer for item 1 in list input"),
    fails("AboveLargestOverflows", "2147483648\n", "I", "Integer overflow while reading item 1"),
    fails("MostNegativeOverflowsByMagnitude", "-2147483648\n", "I", "Integer overflow while reading item 1"),
    fails("TwoToThe32PlusSevenOverflows", "4294967303\n", "I", "Integer overflow while reading item 1"),
    fails("TwoToThe64PlusSevenOverflows", "18446744073709551623\n", "I",
          "Integer overflow while reading item 1"),
    fails("ThirtyDigitsOverflow", "123456789012345678901234567890\n", "I",
          "Integer overflow while reading item 1"),
    fails("OverflowNamesItsItem", "1 2 3000000000\n", "III", "Integer overflow while reading item 3"),
};

const std::vector<ReadCase> kTextCases = {
    ok("LongerTextKeepsFirstThree", "Fe2+\n", "T", {"Fe2"}),
    ok("ShorterTextIsPaddedWithBlanks", "C\n", "T", {"C  "}),
    ok("ApostrophesAreNotPartOfTheText", "'Fe2'\n", "T", {"Fe2"}),
    ok("DoubleQuotesAreNotPartOfTheText", "\"Fe2\"\n", "T", {"Fe2"}),
    ok("DoubledApostropheStandsForOne", "'a''b'\n", "T", {"a'b"}),
    ok("DoubledDoubleQuoteStandsForOne", "\"a\"\"b\"\n", "T", {"a\"b"}),
    ok("OtherQuoteInsideIsAnOrdinaryCharacter", "'a\"b' \"c'd\"\n", "TT", {"a\"b", "c'd"}),
    ok("DoubledQuoteAlone", "''''\n", "T", {"'  "}),
    ok("DoubledQuoteAtTheEnd", "'ab'''\n", "T", {"ab'"}),
    ok("EmptyQuotedTextIsAllBlanks", "'' 5\n", "TR", {"   ", "5"}),
    ok("BlanksInsideQuotesBelongToTheText", "' a ' 5\n", "TR", {" a ", "5"}),
    ok("CommaAndSlashInsideQuotesBelongToTheText", "',/' '/,x' 5\n", "TTR", {",/ ", "/,x", "5"}),
    ok("LongQuotedTextKeepsFirstThree", "'abcdef' 5\n", "TR", {"abc", "5"}),
    ok("LineEndInsideQuotesIsDropped", "'a\nb' 5\n", "TR", {"ab ", "5"}),
    ok("CrLfInsideQuotesIsDropped", "'a\r\nb' 5\n", "TR", {"ab ", "5"}),
    ok("EmptyLinesInsideQuotesAreDropped", "'a\n\n\nbc'\nnext\n", "T", {"abc"}, "next\n"),
    ok("DigitsOnlyAreText", "123\n", "T", {"123"}),
    ok("LongDigitsOnlyAreText", "12345 6\n", "TR", {"123", "6"}),
    ok("UnquotedTextStopsAtComma", "Fe,Ni\n", "TT", {"Fe ", "Ni "}),
    ok("UnquotedTextStopsAtSlash", "Fe/Ni\n", "TT", {"Fe ", kUn}),
    ok("UnquotedTextStopsAtTab", "Fe\tNi\n", "TT", {"Fe ", "Ni "}),
    ok("LowerCaseIsKept", "fe2 cXX\n", "TT", {"fe2", "cXX"}),
    ok("QuoteInsideUnquotedTextIsKept", "a'b\n", "T", {"a'b"}),
    ok("AsteriskAfterLettersIsText", "Fe*2\n", "T", {"Fe*"}),
    ok("NulByteInsideText", "a\0b\n"s, "T", {"a\0b"s}),
    ok("AtomLine", "Fe2 0.1 0.2 0.3 1.0 0.5 1\n", "TRRRRRI", {"Fe2", "0.1", "0.2", "0.3", "1", "0.5", "1"}),
    ok("AtomLineWithRepeatedZeros", "Cxx 5*0 0\n", "TRRRRRI", {"Cxx", "0", "0", "0", "0", "0", "0"}),
    ok("TableRow", "Fe2 11.0424 4.6538 7.374 0.3053\n", "TRRRR",
       {"Fe2", "11.0424", "4.6538", "7.374", "0.3053"}),
    fails("EndOfInputInsideQuotes", "'Fe", "T", "End of file"),
    fails("EndOfInputInsideQuotesOverSeveralLines", "'Fe\n\n", "T", "End of file"),
    fails("EndOfInputAfterADoubledQuote", "'Fe''", "T", "End of file"),
    fails("AtomLineBadCoordinateIsItem2", "Fe2 x 0 0 1 0.5 1\n", "TRRRRRI",
          "Bad real number in item 2 of list input"),
    fails("AtomLineBadBIsItem6", "Fe2 0 0 0 1 b 1\n", "TRRRRRI", "Bad real number in item 6 of list input"),
    fails("AtomLineRealFlagIsItem7", "Fe2 0 0 0 1 0.5 1.0\n", "TRRRRRI",
          "Bad integer for item 7 in list input"),
    fails("AtomLineHugeFlagIsItem7", "Fe2 0 0 0 1 0.5 99999999999\n", "TRRRRRI",
          "Integer overflow while reading item 7"),
    fails("AtomLineRepeatIntoFlagIsItem7", "Fe2 6*0\n", "TRRRRRI",
          "Read type REAL where INTEGER was expected for item 7"),
    fails("AtomLineWithoutFlagAtEndOfInput", "Fe2 0 0 0 1 0.5\n", "TRRRRRI", "End of file"),
};

const std::vector<ReadCase> kLineCases = {
    ok("ExtraValuesOnTheLineAreLost", "3 7\n8\n", "I", {"3"}, "8\n"),
    ok("ReadEndingAtLineEndTakesOnlyThatLineEnd", "3\n8\n", "I", {"3"}, "8\n"),
    ok("RestOfTheLastLineIsLostAfterValuesOverSeveralLines", "1\n2 3 4\n5\n", "RR", {"1", "2"}, "5\n"),
    ok("ExtraTextAfterTextIsLost", "Fe2 extra words\nnext\n", "T", {"Fe2"}, "next\n"),
    ok("ExtraAfterQuotedTextIsLost", "'Fe2' 'rest\nnext\n", "T", {"Fe2"}, "next\n"),
    ok("ExtraValuesOnTheLastLineWithoutLineFeed", "3 7", "I", {"3"}),
    ok("EmptyLineAfterTheReadIsKept", "3\n\n8\n", "I", {"3"}, "\n8\n"),
    ok("BadCharactersAfterTheLastValueAreNeverLookedAt", "3 x;*!\n8\n", "I", {"3"}, "8\n"),
    fails("EndOfInputBeforeTheFirstValue", "", "R", "End of file"),
    fails("OnlyBlankLinesBeforeTheEnd", "\n\n \t\r\n", "I", "End of file"),
    fails("EndOfInputInsideARead", "5 5 5 90 90\n", "RRRRRR", "End of file"),
    fails("EndOfInputAfterAComma", "5,", "RR", "End of file"),
    fails("EndOfInputAfterRepeatedNulls", "2*\n", "RRR", "End of file"),
    fails("EndOfInputBeforeAText", "\n", "T", "End of file"),
};

class FreeFormRead : public testing::TestWithParam<ReadCase> {};

TEST_P(FreeFormRead, GivesItsValuesOrItsFailure) {
  const ReadCase& c = GetParam();
  Outcome got = read_once(c.input, c.kinds);
  if (c.reason.empty()) {
    ASSERT_EQ(got.status, 0) << got.reason();
    EXPECT_EQ(got.values, c.values);
    EXPECT_EQ(got.rest, c.rest);
    EXPECT_TRUE(got.err_lines.empty());
  } else {
    EXPECT_EQ(got.status, 2);
    EXPECT_EQ(got.reason(), c.reason);
    ASSERT_EQ(got.err_lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(got.err_lines[0],
                                 std::regex("At line [0-9]+ of free_form_reader_test\\.cpp, channel 5")))
        << got.err_lines[0];
    EXPECT_EQ(got.err_lines[1], velmora::kNoTraceLine);
  }
}

INSTANTIATE_TEST_SUITE_P(Layout, FreeFormRead, testing::ValuesIn(kLayoutCases), case_name);
INSTANTIATE_TEST_SUITE_P(Slash, FreeFormRead, testing::ValuesIn(kSlashCases), case_name);
INSTANTIATE_TEST_SUITE_P(RepeatCount, FreeFormRead, testing::ValuesIn(kRepeatCases), case_name);
INSTANTIATE_TEST_SUITE_P(Real, FreeFormRead, testing::ValuesIn(kRealCases), case_name);
INSTANTIATE_TEST_SUITE_P(Integer, FreeFormRead, testing::ValuesIn(kIntegerCases), case_name);
INSTANTIATE_TEST_SUITE_P(Text, FreeFormRead, testing::ValuesIn(kTextCases), case_name);
INSTANTIATE_TEST_SUITE_P(LineEnd, FreeFormRead, testing::ValuesIn(kLineCases), case_name);

// Every case again with CR LF line ends: the outcome must not change.
TEST(FreeFormReadCrLf, EveryCaseReadsCrLfLinesLikeLfLines) {
  int converted_cases = 0;
  for (const auto* cases :
       {&kLayoutCases, &kSlashCases, &kRepeatCases, &kRealCases, &kIntegerCases, &kTextCases, &kLineCases}) {
    for (const ReadCase& c : *cases) {
      if (c.input.find('\n') == std::string::npos || c.input.find('\r') != std::string::npos) continue;
      SCOPED_TRACE(c.name);
      std::string crlf;
      for (char ch : c.input) crlf += ch == '\n' ? "\r\n"s : std::string(1, ch);
      Outcome lf = read_once(c.input, c.kinds);
      Outcome converted = read_once(crlf, c.kinds);
      EXPECT_EQ(converted.status, lf.status);
      EXPECT_EQ(converted.values, lf.values);
      EXPECT_EQ(converted.rest, lf.rest);  // the source hands CR LF on as one line end
      EXPECT_EQ(converted.reason(), lf.reason());
      ++converted_cases;
    }
  }
  EXPECT_GT(converted_cases, 100);
}

// ---------------------------------------------------------------------------
// Exact conversion: the stored real is the nearest float, ties to even.

struct BitsCase {
  std::string name;
  std::string input;
  std::uint32_t bits;
};

const std::vector<BitsCase> kBitsCases = {
    {"OneTenth", "0.1", 0x3DCCCCCDu},
    {"OneThird", "0.333333333333333333333333333333333333333333333333333333333333", 0x3EAAAAABu},
    {"PiToSixtyDigits", "3.14159265358979323846264338327950288419716939937510582097494459", 0x40490FDBu},
    {"TieBetweenTwoFloatsGoesToEvenBelow", "16777217", 0x4B800000u},
    {"TieBetweenTwoFloatsGoesToEvenAbove", "16777219", 0x4B800002u},
    {"ExactMidpointAboveOneGoesToEven", "1.000000059604644775390625", 0x3F800000u},
    {"JustAboveTheMidpointGoesUp", "1.0000000596046447753906250000000000000000000000000000000000000001",
     0x3F800001u},
    {"JustBelowTheMidpointGoesDown", "1.000000059604644775390624999999999999999999999999999999999999999",
     0x3F800000u},
    {"ThirtyDigitInteger", "123456789012345678901234567890", 0x6FC77488u},
    {"SixtyDigitIntegerBeyondRangeIsInfinite", "123456789012345678901234567890123456789012345678901234567890",
     0x7F800000u},
    {"OnePointFiveMinusThree", "1.5-3", 0x3AC49BA6u},
    {"TwoPointFiveDMinusFour", "2.5D-4", 0x3983126Fu},
    {"LeastNormal", "1.17549435e-38", 0x00800000u},
    {"LargestSubnormal", "1.1754942e-38", 0x007FFFFFu},
    {"LeastSubnormal", "1.4e-45", 0x00000001u},
    {"HalfTheLeastSubnormalTiesToZero",
     "7."
     "0064923216240853546186479164495806564013097093825788587853414194489554134293030074331909418106079101562"
     "5E-46",
     0x00000000u},
    {"JustAboveHalfTheLeastSubnormalIsTheLeastSubnormal",
     "7."
     "0064923216240853546186479164495806564013097093825788587853414194489554134293030074331909418106079101562"
     "51E-46",
     0x00000001u},
    {"TinyIsZero", "1e-50", 0x00000000u},
    {"TinyNegativeIsNegativeZero", "-1e-50", 0x80000000u},
    {"LargestFloat", "340282346638528859811704183484516925440", 0x7F7FFFFFu},
    {"JustBelowTheMidpointToInfinityIsTheLargestFloat", "340282356779733661637539395458142568447.999",
     0x7F7FFFFFu},
    {"MidpointToInfinityRoundsToInfinity", "340282356779733661637539395458142568448", 0x7F800000u},
    {"HugeIsInfinity", "1e50", 0x7F800000u},
    {"HugeNegativeIsNegativeInfinity", "-1e50", 0xFF800000u},
    {"ManyLeadingZerosAfterThePoint", "0.000000000000000000000000000000000000000000000000000000000001e60",
     0x3F800000u},
    {"ManyTrailingZerosBeforeThePoint", "1000000000000000000000000000000000000000000000000000000000000e-60",
     0x3F800000u},
};

std::string bits_case_name(const testing::TestParamInfo<BitsCase>& info) { return info.param.name; }
void PrintTo(const BitsCase& c, std::ostream* os) { *os << c.name; }

class NearestFloat : public testing::TestWithParam<BitsCase> {};

TEST_P(NearestFloat, StoresTheNearestSinglePrecisionValue) {
  const BitsCase& c = GetParam();
  Outcome got = read_once(c.input + "\n", "R");
  ASSERT_EQ(got.status, 0) << got.reason();
  ASSERT_EQ(got.reals.size(), 1u);
  EXPECT_EQ(bits(got.reals[0]), c.bits) << std::hex << bits(got.reals[0]);
}

INSTANTIATE_TEST_SUITE_P(Decimal, NearestFloat, testing::ValuesIn(kBitsCases), bits_case_name);

// Random decimal texts of up to 25 significant digits over the whole float
// range, checked against the C library's correctly rounded conversion.
TEST(NearestFloatRandom, AgreesWithCorrectlyRoundedLibraryConversion) {
  std::mt19937_64 random(20240611);
  for (int trial = 0; trial < 20000; ++trial) {
    std::string text;
    int digits = 1 + static_cast<int>(random() % 25);
    int point = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
    for (int i = 0; i < digits; ++i) {
      if (i == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    int exponent = static_cast<int>(random() % 100) - 60;
    text += 'e';
    text += std::to_string(exponent);
    float expected = std::strtof(text.c_str(), nullptr);
    Outcome got = read_once(text, "R");
    ASSERT_EQ(got.status, 0) << text << ": " << got.reason();
    ASSERT_EQ(bits(got.reals[0]), bits(expected)) << text;
  }
}

// The hard cases: decimal texts at and near the midpoints between two
// neighbouring floats, from 9 significant digits to the exact expansion.
TEST(NearestFloatRandom, AgreesWithLibraryConversionNearMidpoints) {
  std::mt19937 random(77);
  for (int trial = 0; trial < 20000; ++trial) {
    std::uint32_t low = random() % 0x7F7FFFFFu;
    float below, above;
    std::uint32_t high = low + 1;
    std::memcpy(&below, &low, sizeof below);
    std::memcpy(&above, &high, sizeof above);
    double midpoint = static_cast<double>(below) / 2 + static_cast<double>(above) / 2;  // exact
    int digits = trial % 4 == 0 ? 119 : 9 + static_cast<int>(random() % 22);
    char text[160];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, midpoint);
    float expected = std::strtof(text, nullptr);
    Outcome got = read_once(text, "R");
    ASSERT_EQ(got.status, 0) << text << ": " << got.reason();
    ASSERT_EQ(bits(got.reals[0]), bits(expected)) << text;
  }
}

// ---------------------------------------------------------------------------
// The place line of a failure names the data file for a data-file source.

TEST(FreeFormReadPlace, FailureOnADataFileNamesChannel1AndTheFile) {
  Console console("", "\n");
  InputSource table("Fe2 1.0 x\n", velmora::kDataFileChannel, "neutron_table.txt");
  Outcome got = read_from(console, table, "TRR");
  EXPECT_EQ(got.status, 2);
  ASSERT_EQ(got.err_lines.size(), 3u);
  EXPECT_TRUE(std::regex_match(
      got.err_lines[0],
      std::regex("At line [0-9]+ of free_form_reader_test\\.cpp, channel 1, file \"neutron_table\\.txt\"")))
      << got.err_lines[0];
  EXPECT_EQ(got.reason(), "Bad real number in item 3 of list input");
}

TEST(FreeFormReadPlace, EndOfADataFileNamesChannel1AndTheFile) {
  Console console("", "\n");
  InputSource table("Fe2 1.0\n", velmora::kDataFileChannel, "xray.txt");
  Outcome got = read_from(console, table, "TRRR");
  EXPECT_EQ(got.status, 2);
  ASSERT_EQ(got.err_lines.size(), 3u);
  EXPECT_NE(got.err_lines[0].find(", channel 1, file \"xray.txt\""), std::string::npos) << got.err_lines[0];
  EXPECT_EQ(got.reason(), "End of file");
}

TEST(FreeFormReadPlace, PlaceLineNamesTheReadingStatement) {
  Console console("x\n", "\n");
  float value = 0.0f;
  const int line = __LINE__ + 2;
  try {
    velmora::read_free_form(console, console.in, {velmora::target(value)});
    FAIL() << "the read returned";
  } catch (const RunEnded& end) {
    EXPECT_EQ(end.status, 2);
  }
  std::vector<std::string> lines = split_lines(console.err_text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "At line " + std::to_string(line) + " of free_form_reader_test.cpp, channel 5");
}

// ---------------------------------------------------------------------------
// Several reads in turn over one source.

TEST(FreeFormReadSequence, EachReadStartsOnTheLineAfterThePreviousRead) {
  Console console("3 7\n5 5 5 /\n'Fe2'+ junk\n\n\n 4*2.5\n", "\n");
  std::int32_t count = 0;
  std::array<float, 6> param = {-1, -1, -1, -1, -1, -1};
  std::array<char, 3> symbol = {};
  std::array<float, 3> moment = {};
  velmora::read_free_form(console, console.in, {velmora::target(count)});
  velmora::read_free_form(console, console.in,
                          {velmora::target(param[0]), velmora::target(param[1]), velmora::target(param[2]),
                           velmora::target(param[3]), velmora::target(param[4]), velmora::target(param[5])});
  velmora::read_free_form(console, console.in, {velmora::target(std::span<char>(symbol))});
  velmora::read_free_form(
      console, console.in,
      {velmora::target(moment[0]), velmora::target(moment[1]), velmora::target(moment[2])});
  EXPECT_EQ(count, 3);
  EXPECT_EQ(param, (std::array<float, 6>{5, 5, 5, -1, -1, -1}));
  EXPECT_EQ(std::string(symbol.data(), 3), "Fe2");
  EXPECT_EQ(moment, (std::array<float, 3>{2.5f, 2.5f, 2.5f}));
  EXPECT_EQ(console.in.get(), InputSource::kEnd);
}

TEST(FreeFormReadSequence, NothingOfAReadCarriesIntoTheNext) {
  // A repeat and a slash belong to their own read only.
  Console console("3*1\n2 /\n4 5\n", "\n");
  float a = 0, b = 0, c = -1, d = -1;
  velmora::read_free_form(console, console.in, {velmora::target(a)});
  velmora::read_free_form(console, console.in, {velmora::target(b), velmora::target(c)});
  velmora::read_free_form(console, console.in, {velmora::target(c), velmora::target(d)});
  EXPECT_EQ(a, 1.0f);
  EXPECT_EQ(b, 2.0f);
  EXPECT_EQ(c, 4.0f);
  EXPECT_EQ(d, 5.0f);
}

// ---------------------------------------------------------------------------
// read_fixed_text: a whole line as a text of fixed width.

struct FixedOutcome {
  int status = 0;
  std::vector<std::string> lines;
  std::string rest;
  std::string reason;
};

FixedOutcome read_fixed_lines(const std::string& input, int reads, int width = 90) {
  Console console(input, "\n");
  FixedOutcome outcome;
  try {
    for (int i = 0; i < reads; ++i)
      outcome.lines.push_back(velmora::read_fixed_text(console, console.in, width));
  } catch (const RunEnded& end) {
    outcome.status = end.status;
    std::vector<std::string> err = split_lines(console.err_text);
    if (!err.empty()) outcome.reason = err.back();
    return outcome;
  }
  for (int c; (c = console.in.get()) != InputSource::kEnd;) outcome.rest += static_cast<char>(c);
  return outcome;
}

std::string pad(std::string text, std::size_t width = 90) {
  text.resize(width, ' ');
  return text;
}

TEST(FixedText, ShorterLineIsPaddedWithBlanks) {
  FixedOutcome got = read_fixed_lines("Element  a1  b1\nFe2 1 2\n", 1);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, std::vector<std::string>{pad("Element  a1  b1")});
  EXPECT_EQ(got.rest, "Fe2 1 2\n");
}

TEST(FixedText, LongerLineIsCutAndItsRemainderSkipped) {
  std::string line;
  for (int i = 0; i < 130; ++i) line += static_cast<char>('a' + i % 26);
  FixedOutcome got = read_fixed_lines(line + "\nnext line\n", 1);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, std::vector<std::string>{line.substr(0, 90)});
  EXPECT_EQ(got.rest, "next line\n");
}

TEST(FixedText, LineOfExactlyTheWidthIsKeptWhole) {
  std::string line(90, 'x');
  FixedOutcome got = read_fixed_lines(line + "\nnext\n", 1);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, std::vector<std::string>{line});
  EXPECT_EQ(got.rest, "next\n");
}

TEST(FixedText, CrLfLineEndIsNotPartOfTheText) {
  FixedOutcome got = read_fixed_lines("header\r\nnext\r\n", 2);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, (std::vector<std::string>{pad("header"), pad("next")}));
}

TEST(FixedText, LoneCarriageReturnInsideTheLineIsKept) {
  FixedOutcome got = read_fixed_lines("a\rb\n", 1);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, std::vector<std::string>{pad("a\rb")});
}

TEST(FixedText, EmptyLineGivesAllBlanks) {
  FixedOutcome got = read_fixed_lines("\n\nx\n", 2);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, (std::vector<std::string>{pad(""), pad("")}));
  EXPECT_EQ(got.rest, "x\n");
}

TEST(FixedText, BlanksOfTheLineAreKept) {
  FixedOutcome got = read_fixed_lines("  \tx  \n", 1);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, std::vector<std::string>{pad("  \tx  ")});
}

TEST(FixedText, LastLineWithoutLineFeedIsALine) {
  FixedOutcome got = read_fixed_lines("header", 1);
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(got.lines, std::vector<std::string>{pad("header")});
  EXPECT_EQ(got.rest, "");
}

TEST(FixedText, EndOfInputIsEndOfFile) {
  for (const std::string& input : {""s, "only line\n"s, "only line"s}) {
    SCOPED_TRACE(input);
    int reads = input.empty() ? 1 : 2;
    FixedOutcome got = read_fixed_lines(input, reads);
    EXPECT_EQ(got.status, 2);
    EXPECT_EQ(got.reason, std::string(velmora::kReasonPrefix) + ": End of file");
  }
}

TEST(FixedText, EndOfADataFileNamesTheFile) {
  Console console("", "\n");
  InputSource table("", velmora::kDataFileChannel, "mag.txt");
  try {
    velmora::read_fixed_text(console, table, 90);
    FAIL() << "the read returned";
  } catch (const RunEnded& end) {
    EXPECT_EQ(end.status, 2);
  }
  std::vector<std::string> lines = split_lines(console.err_text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(", channel 1, file \"mag.txt\""), std::string::npos) << lines[0];
  EXPECT_EQ(lines[2], std::string(velmora::kReasonPrefix) + ": End of file");
}

TEST(FixedText, FreeFormReadAfterTheHeaderStartsOnTheNextLine) {
  Console console("title line that is long enough\nFe2 1.5\n", "\n");
  std::string header = velmora::read_fixed_text(console, console.in, 90);
  std::array<char, 3> label = {};
  float value = 0;
  velmora::read_free_form(console, console.in,
                          {velmora::target(std::span<char>(label)), velmora::target(value)});
  EXPECT_EQ(header, pad("title line that is long enough"));
  EXPECT_EQ(std::string(label.data(), 3), "Fe2");
  EXPECT_EQ(value, 1.5f);
}

// ---------------------------------------------------------------------------
// Hostile input: odd bytes, huge lines, input cut off inside a value.

TEST(HostileInput, OddBytesAreCharactersNeverTheEndOfInput) {
  struct Case {
    std::string input;
    std::string kinds;
    std::vector<std::string> values;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"\xff\n", "T", {"\xff  "}, ""},
      {"\xff\xfe\x80\x01 5\n", "TR", {"\xff\xfe\x80", "5"}, ""},
      {"\0\0\0\0\n"s, "T", {"\0\0\0"s}, ""},
      {"'\0\xff'\n"s, "T", {"\0\xff "s}, ""},
      {"\xff\n", "R", {}, "Bad real number in item 1 of list input"},
      {"5\xff\n", "R", {}, "Bad real number in item 1 of list input"},
      {"\0\n"s, "R", {}, "Bad real number in item 1 of list input"},
      {"5\0\n"s, "R", {}, "Bad real number in item 1 of list input"},
      {"1 \0\n"s, "RR", {}, "Bad real number in item 2 of list input"},
      {"\xff\n", "I", {}, "Bad integer for item 1 in list input"},
      {"7\0\n"s, "I", {}, "Bad integer for item 1 in list input"},
      {"inf\0\n"s, "R", {}, "Bad infinity in item 1 of list input"},
      {"nan\xff\n", "R", {}, "Bad not-a-number in item 1 of list input"},
      {"2\0*5\n"s, "RR", {}, "Bad real number in item 1 of list input"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Outcome got = read_once(cases[i].input, cases[i].kinds);
    if (cases[i].reason.empty()) {
      ASSERT_EQ(got.status, 0) << got.reason();
      EXPECT_EQ(got.values, cases[i].values);
    } else {
      EXPECT_EQ(got.status, 2);
      EXPECT_EQ(got.reason(), cases[i].reason);
    }
  }
}

// A 10 MB run of digits must be read exactly, in reasonable time: only the
// significant digits that rounding needs are kept.
TEST(HostileInput, TenMegabyteRealIsConvertedExactly) {
  constexpr std::size_t kLength = 10'000'000;
  struct Case {
    std::string name;
    std::string input;
    std::uint32_t bits;
  };
  const std::vector<Case> cases = {
      // 16777217 lies halfway between two floats; a 1 far down tips it up.
      {"TieWithFarTailRoundsUp", "16777217." + std::string(kLength, '0') + "1\n", 0x4B800001u},
      {"ExactTieRoundsToEven", "16777217" + std::string(kLength, '0') + "e-" + std::to_string(kLength) + "\n",
       0x4B800000u},
      {"LeadingZerosAfterPoint", std::string(".") + std::string(kLength, '0') + "1e" + std::to_string(kLength + 1) + "\n",
       0x3F800000u},
      {"LongIntegerIsInfinite", std::string(kLength, '3') + "\n", 0x7F800000u},
      {"LongFractionOfThrees", "0." + std::string(kLength, '3') + "\n", 0x3EAAAAABu},
      {"LeadingZerosOfTheInteger", std::string(kLength, '0') + "2.5\n", 0x40200000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto start = std::chrono::steady_clock::now();
    Outcome got = read_once(c.input + "7\n", "R");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(got.status, 0) << got.reason();
    EXPECT_EQ(bits(got.reals[0]), c.bits) << std::hex << bits(got.reals[0]);
    EXPECT_EQ(got.rest, "7\n");
    EXPECT_LT(seconds, 20.0);
  }
}

TEST(HostileInput, TenMegabyteTextKeepsItsFirstCharacters) {
  std::string word(10'000'000, 'q');
  word[0] = 'A';
  word[1] = 'b';
  for (const std::string& input : {word + " 5\n", "'" + word + "' 5\n"}) {
    Outcome got = read_once(input, "TR");
    ASSERT_EQ(got.status, 0) << got.reason();
    EXPECT_EQ(got.values, (std::vector<std::string>{"Abq", "5"}));
  }
}

TEST(HostileInput, TenMegabyteIntegerOrRepeatCountFailsAsOverflow) {
  const std::string digits(10'000'000, '9');
  struct Case {
    std::string input;
    std::string kinds;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {digits + "\n", "I", "Integer overflow while reading item 1"},
      {"-" + digits + "\n", "I", "Integer overflow while reading item 1"},
      {digits + "x\n", "I", "Bad integer for item 1 in list input"},
      {"1 " + digits + "*5\n", "RR", "Repeat count overflow in item 2 of list input"},
      {std::string(10'000'000, '0') + "*5\n", "R", "Zero repeat count in item 1 of list input"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Outcome got = read_once(cases[i].input, cases[i].kinds);
    EXPECT_EQ(got.status, 2);
    EXPECT_EQ(got.reason(), cases[i].reason);
  }
}

TEST(HostileInput, TenMegabyteLineIsDiscardedWhole) {
  Outcome got = read_once("1 " + std::string(10'000'000, 'z') + "\n2\n", "I");
  ASSERT_EQ(got.status, 0) << got.reason();
  EXPECT_EQ(got.values, std::vector<std::string>{"1"});
  EXPECT_EQ(got.rest, "2\n");
}

TEST(HostileInput, InputEndingInsideALongQuotedTextIsEndOfFile) {
  Outcome got = read_once("'" + std::string(1'000'000, 'a') + "\n" + std::string(1'000'000, 'b'), "T");
  EXPECT_EQ(got.status, 2);
  EXPECT_EQ(got.reason(), "End of file");
}

#if defined(__linux__)
// Reading a 12 MB line from a file must not hold the line: the child process
// gets an address-space limit only a few megabytes above what it already uses.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

long virtual_size_bytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  statm >> pages;
  return pages * sysconf(_SC_PAGESIZE);
}

// Kinds as for read_from, or "F" for one read_fixed_text of width 90 whose
// first characters are expected.
void read_under_memory_limit(std::FILE* file, std::string_view kinds,
                             const std::vector<std::string>& expected) {
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(virtual_size_bytes() + 6L * 1024 * 1024);
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
  try {
    Console console("", "\n");
    InputSource source(file, velmora::kDataFileChannel, "big.txt");
    if (kinds == "F") {
      std::string line = velmora::read_fixed_text(console, source, 90);
      std::_Exit(line.size() == 90 && line.starts_with(expected.at(0)) ? 0 : 1);
    }
    Outcome got = read_from(console, source, kinds);
    std::_Exit(got.status == 0 && got.values == expected ? 0 : 1);
  } catch (...) {
    std::_Exit(4);
  }
}

std::FILE* big_line_file(const std::string& head, char fill, const std::string& tail) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return nullptr;
  std::fputs(head.c_str(), file);
  std::string chunk(1 << 20, fill);
  for (int i = 0; i < 12; ++i) std::fwrite(chunk.data(), 1, chunk.size(), file);
  std::fputs(tail.c_str(), file);
  std::rewind(file);
  return file;
}

TEST(HostileInputDeathTest, LongLinesAreReadInBoundedMemory) {
  if (kSanitized) GTEST_SKIP() << "an address-space limit does not mix with the sanitizer's shadow memory";
  struct Case {
    std::string head;
    char fill;
    std::string tail;
    std::string kinds;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"0.", '3', " 1\n", "RR", {"0.33333334", "1"}}, {"Fe2", 'q', " 1\n", "TR", {"Fe2", "1"}},
      {"'Ni", 'q', "' 1\n", "TR", {"Niq", "1"}},      {"1 ", 'z', "\n", "R", {"1"}},
      {"header ", 'h', "\n", "F", {"header hhh"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    std::FILE* file = big_line_file(c.head, c.fill, c.tail);
    ASSERT_NE(file, nullptr);
    EXPECT_EXIT(read_under_memory_limit(file, c.kinds, c.expected), testing::ExitedWithCode(0), "");
    std::fclose(file);
  }
}

#endif  // __linux__

}  // namespace
