// The density has a square-root singularity at 2phi = 2theta, where h falls
// to nought; with u = sqrt(2theta - 2phi) the integrand W / (h cos 2phi) 2u is
// smooth (h ~ u sqrt(2 tan 2theta) near u = 0), and Gauss-Legendre quadrature
// in u takes it, in two pieces split at 2phi_infl where W has a kink. The
// derivatives follow every step as numbers carrying their own gradient by
// 2theta, S/L and H/L (forward differentiation), so that they are exact for
// the quadrature the nodes are.
#include "rietveld/axial_divergence.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora::rietveld {
namespace {

constexpr double kRadian = std::numbers::pi / 180.0;
constexpr double kDegree = 180.0 / std::numbers::pi;

// A value with its derivatives by 2theta (per degree), S/L and H/L.
struct Graded {
  double v = 0;
  std::array<double, 3> d{};
};

Graded constant(double v) { return {v, {}}; }
Graded operator+(Graded a, const Graded& b) {
  a.v += b.v;
  for (std::size_t k = 0; k < 3; ++k) a.d[k] += b.d[k];
  return a;
}
Graded operator-(Graded a, const Graded& b) {
  a.v -= b.v;
  for (std::size_t k = 0; k < 3; ++k) a.d[k] -= b.d[k];
  return a;
}
Graded operator*(const Graded& a, const Graded& b) {
  Graded r{a.v * b.v, {}};
  for (std::size_t k = 0; k < 3; ++k) r.d[k] = a.d[k] * b.v + a.v * b.d[k];
  return r;
}
Graded operator/(const Graded& a, const Graded& b) {
  Graded r{a.v / b.v, {}};
  for (std::size_t k = 0; k < 3; ++k) r.d[k] = (a.d[k] - r.v * b.d[k]) / b.v;
  return r;
}
// f(a) with f'(a) = slope
Graded chain(const Graded& a, double value, double slope) {
  Graded r{value, {}};
  for (std::size_t k = 0; k < 3; ++k) r.d[k] = slope * a.d[k];
  return r;
}
Graded sqrt(const Graded& a) {
  const double s = std::sqrt(a.v);
  return chain(a, s, 0.5 / s);
}
Graded cos(const Graded& a) { return chain(a, std::cos(a.v), -std::sin(a.v)); }
Graded sin(const Graded& a) { return chain(a, std::sin(a.v), std::cos(a.v)); }
Graded acos(const Graded& a) { return chain(a, std::acos(a.v), -1.0 / std::sqrt(1.0 - a.v * a.v)); }

// Gauss-Legendre nodes and weights on [-1, 1] for n points, by Newton's
// iteration on the Legendre polynomial from the Chebyshev estimates.
struct Rule {
  std::vector<double> x, w;
};

constexpr std::size_t kMostNodes = 48;  // per piece

const Rule& legendre(std::size_t n) {
  static const std::vector<Rule> rules = [] {
    std::vector<Rule> all(kMostNodes + 1);
    for (std::size_t m = 1; m <= kMostNodes; ++m) {
      Rule& r = all[m];
      const double nm = static_cast<double>(m);
      for (std::size_t i = 0; i < m; ++i) {
        double z = std::cos(std::numbers::pi * (static_cast<double>(i) + 0.75) / (nm + 0.5)), derivative = 0;
        for (int step = 0; step < 100; ++step) {
          double p0 = 1, p1 = z;  // P_0, P_1, then up to P_m
          for (std::size_t k = 2; k <= m; ++k) {
            const double kk = static_cast<double>(k);
            const double p2 = ((2 * kk - 1) * z * p1 - (kk - 1) * p0) / kk;
            p0 = p1, p1 = p2;
          }
          derivative = nm * (z * p1 - p0) / (z * z - 1);
          const double next = z - p1 / derivative;
          const bool settled = std::abs(next - z) < 1e-15;
          z = next;
          if (settled) break;
        }
        r.x.push_back(z);
        r.w.push_back(2 / ((1 - z * z) * derivative * derivative));
      }
    }
    return all;
  }();
  return rules[n];
}

// Nodes per piece: about six to each width the piece spans, and a few more.
int nodes_for(double span_degrees, double fwhm) {
  const double wanted = 4 + std::ceil(6 * span_degrees / fwhm);
  return static_cast<int>(std::clamp(wanted, 4.0, static_cast<double>(kMostNodes)));
}

// The angles of the density: 2theta' (2theta, or 180 - 2theta beyond 90), its
// cosine, 2phi_min and 2phi_infl, in radians.
struct Bounds {
  Graded t, c, phi_min, phi_infl;
  bool mirrored = false;
};

bool bounds_of(double two_theta, const Graded& s, const Graded& h, Bounds& b) {
  b.mirrored = two_theta > 90;
  b.t = {(b.mirrored ? 180 - two_theta : two_theta) * kRadian, {b.mirrored ? -kRadian : kRadian, 0, 0}};
  b.c = cos(b.t);
  if (!(b.c.v > 0) || !(b.t.v > 0)) return false;
  const Graded sum = s + h;
  // 2phi_min: clipped at 0, where the rays would bend past the beam.
  const Graded c_min = b.c * sqrt(sum * sum + constant(1));
  b.phi_min = c_min.v >= 1 ? constant(0) : acos(c_min);
  // 2phi_infl; with S = H none (the kink of |H - S| there is left out, as a
  // central difference averages it away).
  b.phi_infl = b.t;
  if (s.v != h.v) {
    const Graded difference = s.v > h.v ? s - h : h - s;
    const Graded c_infl = b.c * sqrt(difference * difference + constant(1));
    b.phi_infl = c_infl.v >= 1 ? constant(0) : acos(c_infl);
  }
  return true;
}

}  // namespace

AxialCounts axial_counts(double two_theta, double s_l, double h_l, double fwhm) {
  Bounds b;
  if (!(fwhm > 0) || !(s_l > 0 || h_l > 0) || !bounds_of(two_theta, constant(s_l), constant(h_l), b))
    return {};
  const double spread = (b.t.v - b.phi_min.v) * kDegree;
  if (!(spread > 1e-3 * fwhm)) return {};
  return {nodes_for((b.t.v - b.phi_infl.v) * kDegree, fwhm),
          nodes_for((b.phi_infl.v - b.phi_min.v) * kDegree, fwhm)};
}

std::vector<AxialNode> axial_nodes(double two_theta, double s_l, double h_l, AxialCounts counts) {
  const std::vector<AxialNode> unspread = {{0, 1, {}, {}}};
  if (counts.inner == 0 && counts.outer == 0) return unspread;
  const Graded s{s_l, {0, 1, 0}}, h{h_l, {0, 0, 1}};
  Bounds b;
  if (!bounds_of(two_theta, s, h, b)) return unspread;
  const Graded &t = b.t, &c = b.c, &phi_min = b.phi_min, &phi_infl = b.phi_infl;
  const bool mirrored = b.mirrored;
  const Graded sum = s + h;
  // 2 min(H, S), per L; with one of them nought the other piece is empty and
  // the density, normalised, tends to the inner one's shape with W constant.
  const Graded inner_w = std::min(s_l, h_l) == 0 ? constant(1) : s_l < h_l ? s + s : h + h;
  const Graded u_infl = phi_infl.v < t.v ? sqrt(t - phi_infl) : constant(0);
  const Graded u_min = sqrt(t - phi_min);

  struct Raw {
    Graded offset, weight;
  };
  std::vector<Raw> raw;
  // One piece from u = a to u = b; W inner (constant) or outer (S + H - h).
  const auto piece = [&](const Graded& from, const Graded& to, bool inner, int count) {
    if (!(to.v > from.v) || count == 0) return;
    const Rule& rule = legendre(static_cast<std::size_t>(std::min(count, static_cast<int>(kMostNodes))));
    const Graded half = (to - from) * constant(0.5), middle = (from + to) * constant(0.5);
    for (std::size_t k = 0; k < rule.x.size(); ++k) {
      const Graded u = middle + half * constant(rule.x[k]);
      const Graded u2 = u * u, phi = t - u2;
      const Graded cos_phi = cos(phi);
      // h^2 = (cos 2phi - cos 2theta)(cos 2phi + cos 2theta) / cos^2 2theta, the
      // difference written as 2 sin(2theta - u^2 / 2) sin(u^2 / 2), which keeps
      // its digits near the peak, where u is small
      const Graded half_u2 = u2 * constant(0.5);
      const Graded h_squared = constant(2) * sin(t - half_u2) * sin(half_u2) * (cos_phi + c) / (c * c);
      if (!(h_squared.v > 0)) continue;
      const Graded h_phi = sqrt(h_squared);
      Graded w = inner ? inner_w : sum - h_phi;
      if (w.v < 0) w = constant(0);
      raw.push_back({(phi - t) * constant(mirrored ? -kDegree : kDegree),
                     constant(rule.w[k]) * half * w / (h_phi * cos_phi) * (u + u)});
    }
  };
  piece(constant(0), u_infl, true, std::max(counts.inner, 4));
  piece(u_infl, u_min, false, std::max(counts.outer, 4));
  Graded total = constant(0);
  for (const Raw& r : raw) total = total + r.weight;
  if (!(total.v > 0)) return unspread;
  std::vector<AxialNode> nodes;
  nodes.reserve(raw.size());
  for (const Raw& r : raw) {
    const Graded w = r.weight / total;
    nodes.push_back({r.offset.v, w.v, r.offset.d, w.d});
  }
  return nodes;
}

}  // namespace velmora::rietveld
