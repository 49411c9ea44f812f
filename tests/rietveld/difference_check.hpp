// A model's exact derivatives against central differences of its own values:
// for each column, the largest difference between the two and the largest
// derivative, so that a test can bound their ratio.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "refine/least_squares.hpp"

namespace velmora::rietveld {

struct ColumnAgreement {
  double worst = 0;    // largest |numeric - exact| over the points
  double largest = 0;  // largest |numeric|
  bool one_sided = false;
};

// One-sided from a value of nought (a Lorentzian width, which may only grow).
inline std::vector<ColumnAgreement> compare_with_differences(refine::Model& model,
                                                             const std::vector<double>& p,
                                                             const std::vector<std::size_t>& columns) {
  std::vector<double> y(model.points());
  model.calculate(p, y);
  Eigen::MatrixXd d =
      Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(y.size()), static_cast<Eigen::Index>(columns.size()));
  model.derivatives(p, y, columns, d);
  std::vector<ColumnAgreement> out;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::size_t j = columns[c];
    ColumnAgreement a;
    a.one_sided = p[j] == 0;
    const double h = 1e-6 * std::max(std::abs(p[j]), 0.01);
    std::vector<double> up = p, down = p, y_up(y.size()), y_down(y.size());
    up[j] += h;
    if (!a.one_sided) down[j] -= h;
    model.calculate(up, y_up);
    model.calculate(down, y_down);
    for (std::size_t i = 0; i < y.size(); ++i) {
      const double numeric = (y_up[i] - y_down[i]) / (a.one_sided ? h : 2 * h);
      a.largest = std::max(a.largest, std::abs(numeric));
      a.worst = std::max(a.worst,
                         std::abs(numeric - d(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(c))));
    }
    out.push_back(a);
  }
  return out;
}

}  // namespace velmora::rietveld
