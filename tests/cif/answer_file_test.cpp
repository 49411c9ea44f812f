// The answer text: moment angles in velmora's convention, numbers that read
// back as the same float, the order of the lines, and velmora's own dialogue
// reading the text back into the structure it was written from.
#include "cif/answer_file.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "structure/structure_dialogue.hpp"

namespace {

using velmora::cif::AnswerAtom;
using velmora::cif::MomentAngles;

TEST(MomentAngles, DirectionsGiveTheirSizeAzimuthAndPolarAngle) {
  struct Case {
    gemmi::Vec3 moment;
    double size, angle_to_x, angle_to_z;
  };
  const double r2 = std::sqrt(2.0), r6 = std::sqrt(6.0);
  const std::vector<Case> cases = {
      {{1, 0, 0}, 1, 0, 90},         {{0, 3, 0}, 3, 90, 90},
      {{-1, 0, 0}, 1, 180, 90},      {{0, -1, 0}, 1, 270, 90},
      {{0, 0, 2}, 2, 0, 0},          {{0, 0, -1}, 1, 0, 180},
      {{-1, -1, 0}, r2, 225, 90},    {{1, 1, -2}, r6, 45, 180 - gemmi::deg(std::acos(2 / r6))},
      {{1e-17, -1e-17, 1}, 1, 0, 0},  // rounding noise of zeros: no azimuth of 315
      {{1, -1e-17, 0}, 1, 0, 90},     // not 360
      {{0, 0, 0}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const MomentAngles a = velmora::cif::moment_angles(c.moment);
    EXPECT_NEAR(a.size, c.size, 1e-12);
    EXPECT_NEAR(a.angle_to_x, c.angle_to_x, 1e-9) << c.moment.x << " " << c.moment.y << " " << c.moment.z;
    EXPECT_NEAR(a.angle_to_z, c.angle_to_z, 1e-9) << c.moment.x << " " << c.moment.y << " " << c.moment.z;
  }
}

TEST(MomentAngles, VelmorasUnitVectorFromTheAnglesIsTheMomentsDirection) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> component(-5, 5);
  for (int i = 0; i < 10000; ++i) {
    const gemmi::Vec3 m(component(random), component(random), component(random));
    const MomentAngles a = velmora::cif::moment_angles(m);
    const double theta = gemmi::rad(a.angle_to_x), phi = gemmi::rad(a.angle_to_z);
    const gemmi::Vec3 rebuilt =
        gemmi::Vec3(std::sin(phi) * std::cos(theta), std::sin(phi) * std::sin(theta), std::cos(phi)) * a.size;
    EXPECT_LT((rebuilt - m).length(), 1e-12 * m.length());
    EXPECT_GE(a.angle_to_x, 0.0);
    EXPECT_LT(a.angle_to_x, 360.0);
  }
}

TEST(FloatText, TheShortestTextThatReadsBackAsTheSameFloat) {
  struct Case {
    double value;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0.25, "0.25"}, {90, "90"},      {1.0 / 3, "0.33333334"}, {5.431020511, "5.4310207"},
      {-0.0, "0"},    {1e-5, "1e-05"}, {0.7451, "0.7451"},      {144.7356103, "144.73561"}};
  for (const Case& c : cases) EXPECT_EQ(velmora::cif::float_text(c.value), c.text) << c.value;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-1000, 1000);
  for (int i = 0; i < 10000; ++i) {
    const double v = value(random);
    const std::string text = velmora::cif::float_text(v);
    float back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, static_cast<float>(v)) << text;
  }
}

std::vector<AnswerAtom> two_atoms() {
  return {AnswerAtom{.symbol = "Fe3",
                     .xyz = {0, 0.5, 0.25},
                     .occ = 1,
                     .biso = 0.5,
                     .magnetic = true,
                     .moment = {5, 45, 54.7356},
                     .site = "Fe1"},
          AnswerAtom{.symbol = "O2-",
                     .xyz = {0.1, 0.2, 0.3},
                     .occ = 0.75,
                     .biso = 0.8,
                     .magnetic = false,
                     .moment = {},
                     .site = "O1"}};
}

TEST(AnswerText, LinesComeInTheOrderOfVelmorasQuestions) {
  const std::string text = velmora::cif::answer_text(gemmi::UnitCell(5.43, 5.43, 6, 90, 90, 120), two_atoms(),
                                                     {{1, 0, 0}, {-1, 2, 0.5}});
  EXPECT_EQ(text,
            "5.43 5.43 6 90 90 120\n"
            "2\n"
            "Fe3          0        0.5       0.25      1      0.5 1 Fe1\n"
            "O2-        0.1        0.2        0.3   0.75      0.8 0  O1\n"
            "5         45    54.7356 Fe1\n"
            "2\n"
            "   1   0   0\n"
            "  -1   2 0.5\n");
}

TEST(AnswerText, VelmorasDialogueReadsBackWhatWasWritten) {
  const std::vector<AnswerAtom> atoms = two_atoms();
  const std::string text = velmora::cif::answer_text(gemmi::UnitCell(5.43, 5.43, 6, 90, 90, 120), atoms,
                                                     {{1, 0, 0}, {-1, 2, 0.5}});
  velmora::Console console(text);
  velmora::Structure s;
  const float pi = 3.14159274f;
  try {
    velmora::read_structure_dialogue(console, pi, s);
  } catch (const velmora::RunEnded&) {
    FAIL() << "velmora stopped reading: " << console.err_text;
  }
  EXPECT_EQ(s.param[0], 5.43f);
  EXPECT_EQ(s.param[2], 6.0f);
  EXPECT_EQ(s.param[5], velmora::to_radians(120.0f, pi));
  ASSERT_EQ(s.natom, 2);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(std::string(s.atoms[i].atype.data(), 3), atoms[i].symbol);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.atoms[i].xyz[k], static_cast<float>(atoms[i].xyz[k]));
    EXPECT_EQ(s.atoms[i].occ, static_cast<float>(atoms[i].occ));
    EXPECT_EQ(s.atoms[i].biso, static_cast<float>(atoms[i].biso));
  }
  ASSERT_EQ(s.nmagatom, 1);
  EXPECT_EQ(s.moments[0].mom, 5.0f);
  EXPECT_EQ(s.moments[0].theta, velmora::to_radians(45.0f, pi));
  EXPECT_EQ(s.moments[0].phi, velmora::to_radians(54.7356f, pi));
  ASSERT_EQ(s.nrefn, 2);
  EXPECT_EQ(s.hkl[1], (velmora::Reflection{-1.0f, 2.0f, 0.5f}));
}

}  // namespace
