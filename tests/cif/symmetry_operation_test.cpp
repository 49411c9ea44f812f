// Reading symmetry operations: triplets with and without the time reversal of
// a magnetic CIF, the matrices they stand for, and the texts that are refused.
#include "cif/symmetry_operation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cif/conversion_error.hpp"

namespace {

using velmora::cif::combine_with_centerings;
using velmora::cif::ConversionError;
using velmora::cif::parse_operation;
using velmora::cif::SymmetryOperation;

constexpr int D = gemmi::Op::DEN;

struct ReadCase {
  std::string text;
  bool magnetic;
  gemmi::Op::Rot rot;  // in whole numbers
  std::array<int, 3> tran_24ths;
  int time_reversal;
};

TEST(ReadOperation, TripletsGiveTheirMatricesAndTimeReversal) {
  const std::vector<ReadCase> cases = {
      {"x,y,z", false, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}, 1},
      {"-y+1/2,x,z+3/4", false, {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}}, {12, 0, 18}, 1},
      {"x-1/2,-y,-z-1/4", false, {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}}, {12, 0, 18}, 1},
      {"-x+y,-x,z+1/3", false, {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}}, {0, 0, 8}, 1},
      {"x,y,z,+1", true, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}, 1},
      {"-x,-y,-z,-1", true, {{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}}, {0, 0, 0}, -1},
      {"y, x, z+1/2, 1", true, {{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}}, {0, 0, 12}, 1},
      {"x+1/4,y+1/4,z, -1", true, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {6, 6, 0}, -1},
  };
  for (const ReadCase& c : cases) {
    const SymmetryOperation s = parse_operation(c.text, c.magnetic, "here");
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) EXPECT_EQ(s.op.rot[i][j], c.rot[i][j] * D) << c.text;
      EXPECT_EQ(s.op.tran[i], c.tran_24ths[i]) << c.text;
    }
    EXPECT_EQ(s.time_reversal, c.time_reversal) << c.text;
  }
}

struct RefusedCase {
  std::string text;
  bool magnetic;
  std::string reason;
};

TEST(ReadOperation, MalformedOperationsFailWithTheirPlaceAndReason) {
  const std::vector<RefusedCase> cases = {
      {"x,y,q", false, "cannot be read"},
      {"x,y", false, "an operation has three fields"},
      {"x,y,z,+1", false, "an operation has three fields"},
      {"x,y,z", true, "four fields"},
      {"x,y,z,+2", true, "the time reversal is '+2'"},
      {"x,y,z,", true, "the time reversal is ''"},
      {"x,x,z", false, "determinant 0"},
      {"2*x,y,z", false, "determinant 2"},
      {"x/2,y,z", false, "not a matrix of integers"},
      {"x+1/5,y,z", false, "cannot be read"},
      {"x,,z", false, "cannot be read"},
  };
  for (const RefusedCase& c : cases) {
    try {
      parse_operation(c.text, c.magnetic, "file.cif:7: operation 3");
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const ConversionError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("file.cif:7: operation 3 '" + c.text + "'", 0), 0u) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
  }
}

TEST(CombineWithCenterings, EveryOperationMeetsEveryCentringAndTheTimeReversalsMultiply) {
  const std::vector<SymmetryOperation> ops = {parse_operation("x,y,z,+1", true, ""),
                                              parse_operation("-x,-y,-z,-1", true, "")};
  const std::vector<SymmetryOperation> centerings = {parse_operation("x,y,z,+1", true, ""),
                                                     parse_operation("x+1/2,y+1/2,z,-1", true, "")};
  const std::vector<SymmetryOperation> all = combine_with_centerings(ops, centerings);
  ASSERT_EQ(all.size(), 4u);
  auto has = [&](const std::string& triplet, int time_reversal) {
    for (const SymmetryOperation& s : all)
      if (s.op == gemmi::parse_triplet(triplet).wrap() && s.time_reversal == time_reversal) return true;
    return false;
  };
  EXPECT_TRUE(has("x,y,z", 1));
  EXPECT_TRUE(has("-x,-y,-z", -1));
  EXPECT_TRUE(has("x+1/2,y+1/2,z", -1));
  EXPECT_TRUE(has("-x+1/2,-y+1/2,-z", 1));
}

}  // namespace
