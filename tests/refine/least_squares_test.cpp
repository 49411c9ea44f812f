// The least-squares engine on synthetic problems with answers known beforehand:
// noise-free data made with known values, Poisson-noised data that must give the
// values back within 3 esd, the straight line against the textbook regression
// formulas, ties against a shared parameter, and every refusal naming its cause.
#include "refine/least_squares.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace velmora::refine {
namespace {

using Curve = std::function<double(double x, std::span<const double> p)>;
// dy/dp_j at x for every parameter j.
using Gradient = std::function<void(double x, std::span<const double> p, std::span<double> dy)>;

// y_i = curve(x_i, p); exact derivatives for the parameters in exact, from gradient.
class CurveModel : public Model {
 public:
  CurveModel(std::vector<double> x, Curve curve, Gradient gradient = {}, std::set<std::size_t> exact = {})
      : x_(std::move(x)),
        curve_(std::move(curve)),
        gradient_(std::move(gradient)),
        exact_(std::move(exact)) {}
  std::size_t points() const override { return x_.size(); }
  void calculate(std::span<const double> p, std::span<double> y) override {
    for (std::size_t i = 0; i < x_.size(); ++i) y[i] = curve_(x_[i], p);
  }
  bool analytic(std::size_t j) const override { return exact_.count(j) > 0; }
  void derivatives(std::span<const double> p, std::span<const double>, std::span<const std::size_t> columns,
                   Eigen::Ref<Eigen::MatrixXd> d) override {
    std::vector<double> all(p.size());
    for (std::size_t i = 0; i < x_.size(); ++i) {
      gradient_(x_[i], p, all);
      for (std::size_t c = 0; c < columns.size(); ++c)
        d(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(c)) = all[columns[c]];
    }
  }

 private:
  std::vector<double> x_;
  Curve curve_;
  Gradient gradient_;
  std::set<std::size_t> exact_;
};

std::vector<double> grid(double from, double to, int n) {
  std::vector<double> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = from + (to - from) * i / (n - 1);
  return x;
}

Parameter refined(const std::string& name, double start, double lower = -INFINITY, double upper = INFINITY) {
  return {name, start, lower, upper, true, std::nullopt, 0};
}
Parameter fixed(const std::string& name, double value) {
  return {name, value, -INFINITY, INFINITY, false, std::nullopt, 0};
}

// Observed values made from the truth; with Poisson noise (fixed seed), weighted by the counts'
// true variance, sigma = sqrt(max(y, 1)), which leaves the fit unbiased.
struct Data {
  std::vector<double> observed, sigma;
};
Data make_data(const std::vector<double>& x, const Curve& curve, const std::vector<double>& truth,
               bool poisson) {
  Data data;
  std::mt19937 generator(20261208);
  for (double xi : x) {
    const double y = curve(xi, truth);
    const double counts = poisson ? std::poisson_distribution<long>(y)(generator) : y;
    data.observed.push_back(counts);
    data.sigma.push_back(poisson ? std::sqrt(std::max(y, 1.0)) : 1.0);
  }
  return data;
}

double gaussian(double x, double centre, double fwhm) {
  return std::exp(-4 * std::log(2.0) * (x - centre) * (x - centre) / (fwhm * fwhm));
}

// Background b0 + b1 x and a Gaussian of height H, centre x0 and FWHM w: p = b0 b1 H x0 w.
const Curve peak = [](double x, std::span<const double> p) {
  return p[0] + p[1] * x + p[2] * gaussian(x, p[3], p[4]);
};
const Curve decay = [](double x, std::span<const double> p) { return p[0] * std::exp(-x / p[1]) + p[2]; };
// Rosenbrock's valley as residuals: 10 (p1 - p0^2), then p0 and p1 themselves (observed 1, 1).
const Curve valley = [](double x, std::span<const double> p) {
  return x == 0 ? 10 * (p[1] - p[0] * p[0]) : x == 1 ? p[0] : p[1];
};

// a + sqrt(s) x has no value for s < 0; data of a falling line push s to its lower bound 0.
const Curve root_slope = [](double x, std::span<const double> p) { return p[0] + std::sqrt(p[1]) * x; };
const Curve line = [](double x, std::span<const double> p) { return p[0] + p[1] * x; };

struct Recovery {
  std::string name;
  Curve curve;
  std::vector<double> x;
  std::vector<double> truth;  // the values the data are made with
  std::vector<Parameter> start;
  bool poisson;
  std::vector<std::size_t> at_bound;  // expected; the truth is not checked for these rows
  Options options = {};
  bool converges = true;
  Curve made_with = {};  // what the data are made with, when not curve
};

TEST(Refine, RecoversTheValuesTheDataWereMadeWith) {
  // clang-format off
  const std::vector<Recovery> table = {
      {"decay from a far start", decay, grid(0, 10, 50), {1000, 2.5, 10},
       {refined("A", 500), refined("tau", 1), refined("c", 0)}, false, {}},
      {"gaussian peak, Poisson counts", peak, grid(0, 10, 201), {50, 2, 1000, 5, 0.8},
       {refined("b0", 40), refined("b1", 0), refined("H", 600), refined("x0", 5.3), refined("w", 1.2)},
       true, {}},
      {"gaussian peak, slope fixed", peak, grid(0, 10, 201), {50, 2, 1000, 5, 0.8},
       {refined("b0", 40), fixed("b1", 2), refined("H", 600), refined("x0", 4.8), refined("w", 0.6)},
       true, {}},
      {"Rosenbrock valley", valley, {0, 1, 2}, {1, 1}, {refined("p0", -1.2), refined("p1", 1)}, false, {}},
      {"decay time held at its upper bound", decay, grid(0, 10, 50), {1000, 2.5, 10},
       {refined("A", 500), refined("tau", 1, 0.5, 2), refined("c", 0)}, false, {1}},
      {"a slope that cannot fall below zero, undefined below", root_slope, grid(0, 10, 20), {1, -0.25},
       {refined("a", 0), refined("s", 1, 0)}, false, {1}, {}, true, line},
      {"valley cut short", valley, {0, 1, 2}, {1, 1}, {refined("p0", -1.2), refined("p1", 1)}, false, {},
       {.most_iterations = 3}, false},
  };
  // clang-format on
  for (const Recovery& row : table) {
    SCOPED_TRACE(row.name);
    // The valley's observed values are its minimum's: 0, 1, 1.
    const Data data = make_data(row.x, row.made_with ? row.made_with : row.curve, row.truth, row.poisson);
    CurveModel model(row.x, row.curve);
    const Result result = refine(model, row.start, data.observed, data.sigma, row.options);
    EXPECT_EQ(result.converged, row.converges) << result.stop_reason;
    if (!row.converges) {
      EXPECT_EQ(result.stop_reason, std::to_string(row.options.most_iterations) + " iterations");
      continue;
    }
    EXPECT_EQ(result.at_bound, row.at_bound);
    for (std::size_t j = 0; j < row.start.size(); ++j) {
      const Parameter& got = result.parameters[j];
      SCOPED_TRACE(got.name);
      if (!row.start[j].refined) {
        EXPECT_EQ(got.value, row.start[j].value);
        EXPECT_EQ(result.esd[j], 0);
      } else if (!row.at_bound.empty()) {
        if (j == row.at_bound[0]) {
          EXPECT_TRUE(got.value == row.start[j].lower || got.value == row.start[j].upper) << got.value;
        }
      } else if (row.poisson) {
        EXPECT_GT(result.esd[j], 0);
        EXPECT_LE(std::fabs(got.value - row.truth[j]), 3 * result.esd[j]);
      } else {
        EXPECT_NEAR(got.value, row.truth[j], 1e-6 * std::max(1.0, std::fabs(row.truth[j])));
      }
    }
    if (row.poisson) {
      EXPECT_NEAR(result.reduced_chi2, 1, 0.3);
    }
  }
}

// Weighted regression of a straight line: a, b and their variances Sxx/D and S/D, D = S Sxx - Sx^2,
// times chi2 / (N - 2), and the correlation -Sx / sqrt(S Sxx) (Bevington & Robinson, "Data
// Reduction and Error Analysis for the Physical Sciences", ch. 6).
TEST(Refine, StraightLineEsdsAreTheRegressionFormulas) {
  std::vector<double> x, y, sigma;
  for (int i = 0; i < 12; ++i) {
    x.push_back(i);
    y.push_back(1 + 2 * i + (i % 3 - 1) * 0.4);
    sigma.push_back(0.5 + 0.1 * i);
  }
  double s = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double w = 1 / (sigma[i] * sigma[i]);
    s += w, sx += w * x[i], sy += w * y[i], sxx += w * x[i] * x[i], sxy += w * x[i] * y[i];
  }
  const double d = s * sxx - sx * sx, a = (sxx * sy - sx * sxy) / d, b = (s * sxy - sx * sy) / d;
  double chi2 = 0;
  for (std::size_t i = 0; i < x.size(); ++i) chi2 += std::pow((y[i] - a - b * x[i]) / sigma[i], 2);
  const double scale = chi2 / (static_cast<double>(x.size()) - 2);

  CurveModel model(x, line);
  const Result result = refine(model, {refined("a", 0), refined("b", 0)}, y, sigma);
  // The iteration ends within a small fraction of an esd of the exact solution.
  EXPECT_NEAR(result.parameters[0].value, a, 1e-6 * result.esd[0]);
  EXPECT_NEAR(result.parameters[1].value, b, 1e-6 * result.esd[1]);
  EXPECT_NEAR(result.chi2, chi2, 1e-9 * chi2);
  EXPECT_NEAR(result.esd[0], std::sqrt(sxx / d * scale), 1e-7 * std::sqrt(sxx / d * scale));
  EXPECT_NEAR(result.esd[1], std::sqrt(s / d * scale), 1e-7 * std::sqrt(s / d * scale));
  EXPECT_NEAR(result.correlation(0, 1), -sx / std::sqrt(s * sxx), 1e-7);
}

// Two peaks on a flat background, the second's width 0.5 + 2 times the first's: tying
// it gives the same values and esd's as a model that computes it from one parameter,
// whether the columns are differences or the model's own derivatives (through the tie).
TEST(Refine, TiedWidthEqualsOneSharedWidth) {
  const auto two_peaks = [](bool shared) {
    return [shared](double x, std::span<const double> p) {
      const double second = shared ? 0.5 + 2 * p[3] : p[4];
      return p[0] + p[1] * gaussian(x, 3, p[3]) + p[2] * gaussian(x, 7, second);
    };
  };
  const Gradient gradient = [](double x, std::span<const double> p, std::span<double> dy) {
    const double g1 = gaussian(x, 3, p[3]), g2 = gaussian(x, 7, p[4]), c = 8 * std::log(2.0);
    dy[0] = 1, dy[1] = g1, dy[2] = g2;
    dy[3] = p[1] * g1 * c * (x - 3) * (x - 3) / std::pow(p[3], 3);
    dy[4] = p[2] * g2 * c * (x - 7) * (x - 7) / std::pow(p[4], 3);
  };
  const std::vector<double> x = grid(0, 10, 301);
  const Data data = make_data(x, two_peaks(true), {20, 500, 300, 0.4, 0}, true);
  std::vector<Parameter> start = {refined("b", 10), refined("H1", 400), refined("H2", 400),
                                  refined("w1", 0.5), fixed("w2", 0)};
  CurveModel shared(x, two_peaks(true));
  const Result reference = refine(shared, start, data.observed, data.sigma);
  start[4].tie = Tie{{{3, 2.0}}, 0.5};
  CurveModel differences(x, two_peaks(false));
  CurveModel exact(x, two_peaks(false), gradient, {1, 2, 3, 4});
  for (Model* model : {static_cast<Model*>(&differences), static_cast<Model*>(&exact)}) {
    const Result tied = refine(*model, start, data.observed, data.sigma);
    for (std::size_t j = 0; j < 4; ++j) {
      EXPECT_NEAR(tied.parameters[j].value, reference.parameters[j].value, 1e-7 * reference.esd[j]);
      EXPECT_NEAR(tied.esd[j], reference.esd[j], 1e-5 * reference.esd[j]);
    }
    EXPECT_NEAR(tied.parameters[4].value, 0.5 + 2 * tied.parameters[3].value, 1e-15);
    EXPECT_NEAR(tied.esd[4], 2 * tied.esd[3], 1e-12);
  }
}

struct Refused {
  std::string name;
  Curve curve;
  std::size_t points;
  std::vector<Parameter> start;
  Refusal refusal;
  std::string message;  // part of the message
};

TEST(Refine, RefusesIllPosedProblemsNamingTheParameter) {
  Parameter tied_a = fixed("a", 0), tied_b = fixed("b", 0);
  tied_a.tie = Tie{{{1, 1.0}}, 0};
  tied_b.tie = Tie{{{0, 1.0}}, 1};
  const Curve sum_slope = [](double x, std::span<const double> p) { return p[0] + (p[1] + p[2]) * x; };
  const Curve root_scale = [](double x, std::span<const double> p) { return std::sqrt(p[0]) * x + p[1]; };
  // clang-format off
  const std::vector<Refused> table = {
      {"a parameter the model ignores", line, 10,
       {refined("a", 1), refined("b", 1), refined("profile.W", 0.1)},
       Refusal::no_effect, "profile.W does not change the calculated values"},
      {"two parameters of which only the sum matters", sum_slope, 10,
       {refined("zero", 1), refined("cell.a", 1), refined("cell.b", 2)},
       Refusal::dependent, "cell.a and cell.b change the calculated values in (nearly) the same way"},
      {"as many points as parameters", line, 2, {refined("a", 1), refined("b", 1)},
       Refusal::too_few_points, "2 points cannot determine 2 refined parameters"},
      {"a start beyond its bound", line, 10, {refined("a", 5, 0, 1), refined("b", 1)},
       Refusal::bad_start, "a: the start value 5 lies outside its bounds 0 to 1"},
      {"a start not finite", line, 10, {refined("a", 1), refined("b", NAN)},
       Refusal::bad_start, "b: the start value is not finite"},
      {"a cycle of ties", line, 10, {tied_a, tied_b, refined("c", 1)},
       Refusal::bad_tie, "a: its tie leads back to itself"},
      {"a model undefined at the start", root_scale, 10, {refined("scale", -4), refined("b", 1.5)},
       Refusal::non_finite_model, "the model's value at point 0 is not finite for scale = -4, b = 1.5"},
  };
  // clang-format on
  for (const Refused& row : table) {
    SCOPED_TRACE(row.name);
    CurveModel model(grid(0, 9, static_cast<int>(row.points)), row.curve);
    const std::vector<double> observed(row.points, 1.0), sigma(row.points, 1.0);
    try {
      refine(model, row.start, observed, sigma);
      ADD_FAILURE() << "not refused";
    } catch (const RefineError& error) {
      EXPECT_EQ(error.refusal(), row.refusal);
      EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace velmora::refine
