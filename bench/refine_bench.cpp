// Times the least-squares engine on a Rietveld-sized problem: 10^4 points, 100
// pseudo-Voigt peaks (Thompson, Cox & Hastings, J. Appl. Cryst. 20 (1987) 79) of a
// tetragonal cell, 30 refined parameters (a, c, zero, U V W X Y, scale, 9 intensity
// groups, 12 Chebyshev terms), Poisson counts of a fixed seed weighted by their true
// variance. Writes the problem as JSON for its peer, bench/refine_peer.py.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "refine/least_squares.hpp"

namespace {

using velmora::refine::Parameter;

constexpr double wavelength = 1.5406, first = 10, last = 120;
constexpr int points = 10000, groups = 10, background_terms = 12, peaks = 100;
// Each peak is summed within this many widths of its centre, its Lorentzian lowered by its
// value there so that the pattern stays continuous in the parameters (the peer does the same).
constexpr double window = 20;
constexpr double edge = 1 / (1 + 4 * window * window);
constexpr double degree = std::numbers::pi / 180;

struct Reflection {
  int h, k, l, group;
  double intensity;
};

// Parameter indices.
enum : std::size_t { cell_a, cell_c, zero, u, v, w, x_l, y_l, scale, group0, background0 = group0 + groups };

class TetragonalPattern : public velmora::refine::Model {
 public:
  TetragonalPattern(std::vector<double> two_theta, std::vector<Reflection> reflections, bool analytic_linear)
      : two_theta_(std::move(two_theta)),
        reflections_(std::move(reflections)),
        analytic_linear_(analytic_linear) {
    chebyshev_.resize(two_theta_.size() * background_terms);
    for (std::size_t i = 0; i < two_theta_.size(); ++i) {
      const double t = (2 * two_theta_[i] - first - last) / (last - first);
      double* row = &chebyshev_[i * background_terms];
      row[0] = 1, row[1] = t;
      for (int n = 2; n < background_terms; ++n) row[n] = 2 * t * row[n - 1] - row[n - 2];
    }
  }
  std::size_t points() const override { return two_theta_.size(); }

  int calls = 0;  // of calculate()

  void calculate(std::span<const double> p, std::span<double> y) override {
    ++calls;
    for (std::size_t i = 0; i < y.size(); ++i) {
      double sum = 0;
      for (int n = 0; n < background_terms; ++n)
        sum += p[background0 + n] * chebyshev_[i * background_terms + n];
      y[i] = sum;
    }
    for_each_peak(p, [&](std::size_t i, const Reflection& r, double profile) {
      y[i] += p[scale] * p[group0 + r.group] * r.intensity * profile;
    });
  }

  // The model is linear in the scale, the group factors and the background.
  bool analytic(std::size_t j) const override { return analytic_linear_ && j >= scale; }
  void derivatives(std::span<const double> p, std::span<const double>, std::span<const std::size_t> columns,
                   Eigen::Ref<Eigen::MatrixXd> d) override {
    std::vector<std::ptrdiff_t> column(p.size(), -1);
    for (std::size_t c = 0; c < columns.size(); ++c) column[columns[c]] = static_cast<std::ptrdiff_t>(c);
    for (std::size_t n = 0; n < background_terms; ++n)
      if (column[background0 + n] >= 0)
        for (std::size_t i = 0; i < two_theta_.size(); ++i)
          d(static_cast<Eigen::Index>(i), column[background0 + n]) = chebyshev_[i * background_terms + n];
    for_each_peak(p, [&](std::size_t i, const Reflection& r, double profile) {
      const auto row = static_cast<Eigen::Index>(i);
      if (column[scale] >= 0) d(row, column[scale]) += p[group0 + r.group] * r.intensity * profile;
      if (column[group0 + r.group] >= 0) d(row, column[group0 + r.group]) += p[scale] * r.intensity * profile;
    });
  }

 private:
  // f(point, reflection, unit-area pseudo-Voigt at the point) for every point within the window.
  template <class F>
  void for_each_peak(std::span<const double> p, F f) const {
    for (const Reflection& r : reflections_) {
      const double inverse_d2 =
          (r.h * r.h + r.k * r.k) / (p[cell_a] * p[cell_a]) + r.l * r.l / (p[cell_c] * p[cell_c]);
      const double sine = wavelength * std::sqrt(inverse_d2) / 2;
      if (sine >= 1) continue;
      const double theta = std::asin(sine), centre = 2 * theta / degree + p[zero];
      const double tangent = std::tan(theta);
      const double gauss = std::sqrt(std::max(p[u] * tangent * tangent + p[v] * tangent + p[w], 1e-8));
      const double lorentz = std::max(p[x_l] * tangent + p[y_l] / std::cos(theta), 0.0);
      const double total = std::pow(std::pow(gauss, 5) + 2.69269 * std::pow(gauss, 4) * lorentz +
                                        2.42843 * std::pow(gauss, 3) * lorentz * lorentz +
                                        4.47163 * gauss * gauss * std::pow(lorentz, 3) +
                                        0.07842 * gauss * std::pow(lorentz, 4) + std::pow(lorentz, 5),
                                    0.2);
      const double q = lorentz / total, eta = 1.36603 * q - 0.47719 * q * q + 0.11116 * q * q * q;
      const auto from = std::lower_bound(two_theta_.begin(), two_theta_.end(), centre - window * total);
      const auto to = std::upper_bound(two_theta_.begin(), two_theta_.end(), centre + window * total);
      const double g_norm = 2 / total * std::sqrt(std::log(2.0) / std::numbers::pi);
      const double l_norm = 2 / (std::numbers::pi * total);
      for (auto it = from; it != to; ++it) {
        const double s = (*it - centre) / total;
        const double profile = eta * l_norm * (1 / (1 + 4 * s * s) - edge) +
                               (1 - eta) * g_norm * std::exp(-4 * std::log(2.0) * s * s);
        f(static_cast<std::size_t>(it - two_theta_.begin()), r, profile);
      }
    }
  }

  std::vector<double> two_theta_;
  std::vector<Reflection> reflections_;
  std::vector<double> chebyshev_;
  bool analytic_linear_;
};

// The first 100 reflections h >= k >= 0, l >= 0 by falling d of the true cell.
std::vector<Reflection> reflections(double a, double c) {
  std::vector<std::pair<double, Reflection>> all;
  std::mt19937 generator(7);
  for (int h = 0; h < 12; ++h)
    for (int k = 0; k <= h; ++k)
      for (int l = 0; l < 12; ++l) {
        if (h + k + l == 0) continue;
        const double d = 1 / std::sqrt((h * h + k * k) / (a * a) + l * l / (c * c));
        all.push_back({d, {h, k, l, 0, 0}});
      }
  std::sort(all.begin(), all.end(), [](const auto& p, const auto& q) { return p.first > q.first; });
  std::vector<Reflection> chosen;
  for (const auto& [d, r] : all) {
    if (wavelength / (2 * d) >= std::sin(last / 2 * degree)) break;
    if (std::asin(wavelength / (2 * d)) * 2 / degree < first + 1) continue;
    chosen.push_back(r);
    chosen.back().group = static_cast<int>(chosen.size() % groups);
    chosen.back().intensity = 20 + 180 * std::generate_canonical<double, 53>(generator);
    if (chosen.size() == peaks) break;
  }
  return chosen;
}

std::vector<Parameter> parameters(bool truth) {
  auto make = [](const std::string& name, double value, bool refined = true) {
    Parameter q;
    q.name = name, q.value = value, q.refined = refined;
    return q;
  };
  std::vector<Parameter> list = {
      make("cell.a", truth ? 4.8 : 4.7986),   make("cell.c", truth ? 7.15 : 7.148),
      make("zero", truth ? 0.02 : 0),         make("profile.U", truth ? 0.004 : 0.006),
      make("profile.V", truth ? -0.002 : 0),  make("profile.W", truth ? 0.003 : 0.005),
      make("profile.X", truth ? 0.02 : 0.01), make("profile.Y", truth ? 0.01 : 0.02),
      make("scale", truth ? 1 : 0.8)};
  list.push_back(make("group.0", 1, false));
  for (int g = 1; g < groups; ++g)
    list.push_back(make("group." + std::to_string(g), truth ? 0.6 + 0.1 * g : 1));
  const double background[background_terms] = {200, -50, 30, 12, -8, 5, -4, 3, -2, 1.5, -1, 0.5};
  for (int n = 0; n < background_terms; ++n)
    list.push_back(make("background." + std::to_string(n), truth ? background[n] : n == 0 ? 150 : 0));
  return list;
}

void write_json(const char* path, const std::vector<double>& x, const std::vector<double>& observed,
                const std::vector<double>& sigma, const std::vector<Reflection>& list) {
  FILE* out = std::fopen(path, "w");
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path);
    std::exit(1);
  }
  auto array = [&](const char* key, auto values, auto f) {
    std::fprintf(out, "\"%s\": [", key);
    for (std::size_t i = 0; i < values.size(); ++i) std::fprintf(out, "%s", (i ? ", " : "")), f(values[i]);
    std::fprintf(out, "],\n");
  };
  auto number = [&](double value) { std::fprintf(out, "%.17g", value); };
  std::fprintf(out, "{\"wavelength\": %.17g, \"first\": %.17g, \"last\": %.17g, \"window\": %.17g,\n",
               wavelength, first, last, window);
  array("two_theta", x, number);
  array("observed", observed, number);
  array("sigma", sigma, number);
  array("reflections", list, [&](const Reflection& r) {
    std::fprintf(out, "[%d, %d, %d, %d, %.17g]", r.h, r.k, r.l, r.group, r.intensity);
  });
  const std::vector<Parameter> truth = parameters(true), start = parameters(false);
  array("names", start, [&](const Parameter& q) { std::fprintf(out, "\"%s\"", q.name.c_str()); });
  array("truth", truth, [&](const Parameter& q) { number(q.value); });
  array("refined", start, [&](const Parameter& q) { std::fprintf(out, "%s", q.refined ? "true" : "false"); });
  std::fprintf(out, "\"start\": [");
  for (std::size_t i = 0; i < start.size(); ++i) std::fprintf(out, "%s%.17g", i ? ", " : "", start[i].value);
  std::fprintf(out, "]}\n");
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> x(points);
  for (int i = 0; i < points; ++i) x[static_cast<std::size_t>(i)] = first + (last - first) * i / (points - 1);
  const std::vector<Parameter> truth = parameters(true);
  const std::vector<Reflection> list = reflections(truth[cell_a].value, truth[cell_c].value);
  std::vector<double> values, exact(points), observed, sigma;
  for (const Parameter& q : truth) values.push_back(q.value);
  TetragonalPattern(x, list, false).calculate(values, exact);
  std::mt19937 generator(20261208);
  for (double y : exact) {
    observed.push_back(static_cast<double>(std::poisson_distribution<long>(y)(generator)));
    sigma.push_back(std::sqrt(std::max(y, 1.0)));  // the counts' true sigma: no bias from the noise
  }
  if (argc > 1) write_json(argv[1], x, observed, sigma, list);

  std::printf("%d points, %zu peaks, 30 refined parameters, one thread\n", points, list.size());
  for (bool analytic : {false, true}) {
    TetragonalPattern model(x, list, analytic);
    std::vector<double> seconds;
    velmora::refine::Result result;
    for (int run = 0; run < 3; ++run) {
      model.calls = 0;
      const auto start = std::chrono::steady_clock::now();
      result = velmora::refine::refine(model, parameters(false), observed, sigma);
      seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    double worst = 0;
    std::string worst_name;
    for (std::size_t j : result.refined_indices) {
      const double off = std::fabs(result.parameters[j].value - truth[j].value) / result.esd[j];
      if (off > worst) worst = off, worst_name = truth[j].name;
    }
    std::printf(
        "velmora refine (%s): %.3f s (median of 3), %d iterations, %d evaluations, %s; chi2/(N-P) %.6f, "
        "largest |refined - true| / esd %.2f (%s)\n",
        analytic ? "scale, groups and background analytic" : "all columns by differences", seconds[1],
        result.iterations, model.calls, result.stop_reason.c_str(), result.reduced_chi2, worst,
        worst_name.c_str());
  }
}
