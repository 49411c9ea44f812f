// The Laue group is checked atom by atom: an operation is kept when the image
// of every atom lands, within kSamePosition, on an atom of the same type,
// occupancy, B and magnetic flag, and the images of all moments (axial
// vectors: the rotation times its determinant) equal the moments there, all
// with one sign. Atoms are found through a hash of their rounded positions.
#include "scattering/unique_reflections.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <unordered_map>

namespace velmora {
namespace {

using Vec = std::array<double, 3>;

constexpr int kBins = 500;  // per edge: one bin is 2e-3, over twice kSamePosition

double wrapped(double x) { return x - std::floor(x); }

// The atoms of the cell by bin of their positions.
class AtomFinder {
 public:
  explicit AtomFinder(const std::vector<Vec>& xyz) : xyz_(xyz) {
    for (std::size_t i = 0; i < xyz.size(); ++i) bins_.emplace(key(bin(xyz[i])), i);
  }

  // The atoms within kSamePosition of x (modulo whole cells).
  template <typename Visit>
  bool find(const Vec& x, Visit&& accept) const {
    const std::array<int, 3> b = bin(x);
    constexpr int kOffsets[3] = {0, -1, 1};  // the atom's own bin first, where it nearly always is
    for (int di : kOffsets)
      for (int dj : kOffsets)
        for (int dk : kOffsets) {
          const auto [first, last] = bins_.equal_range(key({b[0] + di, b[1] + dj, b[2] + dk}));
          for (auto at = first; at != last; ++at)
            if (near(x, xyz_[at->second]) && accept(at->second)) return true;
        }
    return false;
  }

 private:
  static std::array<int, 3> bin(const Vec& x) {
    std::array<int, 3> b{};
    for (int i = 0; i < 3; ++i) b[i] = static_cast<int>(std::floor(wrapped(x[i]) * kBins)) % kBins;
    return b;
  }
  static std::int64_t key(const std::array<int, 3>& b) {
    std::int64_t k = 0;
    for (int v : b) k = k * kBins + (v % kBins + kBins) % kBins;
    return k;
  }
  static bool near(const Vec& x, const Vec& y) {
    for (int i = 0; i < 3; ++i) {
      const double d = wrapped(x[i] - y[i]);
      if (std::min(d, 1 - d) > kSamePosition) return false;
    }
    return true;
  }
  const std::vector<Vec>& xyz_;
  std::unordered_multimap<std::int64_t, std::size_t> bins_;
};

bool same_value(double a, double b) { return std::fabs(a - b) <= kSameValue * std::max(1.0, std::fabs(a)); }

bool same_kind(const AtomSite& a, const AtomSite& b) {
  return a.atype == b.atype && same_value(a.occ, b.occ) && same_value(a.biso, b.biso);
}

int determinant(const Rotation& r) {
  return r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
         r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
         r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
}

// Each atom's moment in the Cartesian frame, none for a non-magnetic atom.
std::vector<std::optional<Vec>> atom_moments(const Structure& s, const std::vector<Vector3>& umom) {
  std::vector<std::optional<Vec>> moments(s.atoms.size());
  for (std::size_t m = 0; m < s.magnetic_site.size() && m < umom.size() && m < s.moments.size(); ++m) {
    const double mom = s.moments[m].mom;
    moments[s.magnetic_site[m]] = Vec{mom * umom[m].x, mom * umom[m].y, mom * umom[m].z};
  }
  return moments;
}

// The image of a moment under a rotation, as an axial vector: to components
// along a, b, c (the reciprocal rows carry 2 pi), rotated, times the
// determinant, and back to Cartesian.
Vec moment_image(const Vec& m, const Rotation& r, const CellGeometry& cell) {
  Vec along{};
  for (int i = 0; i < 3; ++i)
    along[i] =
        (cell.crec[i].x * m[0] + cell.crec[i].y * m[1] + cell.crec[i].z * m[2]) / (2 * std::numbers::pi);
  Vec out{};
  const int det = determinant(r);
  for (int i = 0; i < 3; ++i) {
    double turned = 0;
    for (int j = 0; j < 3; ++j) turned += r[i][j] * along[j];
    out[0] += det * turned * cell.ccel[i].x;
    out[1] += det * turned * cell.ccel[i].y;
    out[2] += det * turned * cell.ccel[i].z;
  }
  return out;
}

bool same_moment(const Vec& a, const Vec& b, double sign) {
  for (int i = 0; i < 3; ++i)
    if (std::fabs(a[i] - sign * b[i]) > kSameMoment) return false;
  return true;
}

bool is_symmetry(const SpaceOperation& op, const Structure& s, const std::vector<Vec>& xyz,
                 const std::vector<std::optional<Vec>>& moments, const AtomFinder& finder,
                 const CellGeometry& cell) {
  std::optional<double> sign;  // of the moments' images: +1, or -1 with time reversal
  for (std::size_t i = 0; i < s.atoms.size(); ++i) {
    Vec image{};
    for (int r = 0; r < 3; ++r)
      image[r] = op.rot[r][0] * xyz[i][0] + op.rot[r][1] * xyz[i][1] + op.rot[r][2] * xyz[i][2] + op.tran[r];
    std::optional<Vec> turned;
    if (moments[i]) turned = moment_image(*moments[i], op.rot, cell);
    const bool found = finder.find(image, [&](std::size_t j) {
      if (!same_kind(s.atoms[i], s.atoms[j]) || moments[i].has_value() != moments[j].has_value())
        return false;
      if (!turned) return true;
      for (double candidate : {1.0, -1.0}) {
        if ((!sign || *sign == candidate) && same_moment(*turned, *moments[j], candidate)) {
          if (!same_moment(*turned, *moments[j], -candidate))
            sign = candidate;  // a zero moment decides nothing
          return true;
        }
      }
      return false;
    });
    if (!found) return false;
  }
  return true;
}

// An h k l as integers that sort as the numbers do (a not-a-number index,
// which velmora takes too, sorts at an end rather than breaking the order).
using Key = std::array<std::uint32_t, 3>;

std::uint32_t ordered(float v) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(v + 0.0f);  // -0 is 0
  return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

// h R, the index triple of the reflection that R takes h to.
Key image_of(const Reflection& h, const Rotation& r) {
  Key out{};
  for (int j = 0; j < 3; ++j) {
    const double v = static_cast<double>(h[0]) * r[0][j] + static_cast<double>(h[1]) * r[1][j] +
                     static_cast<double>(h[2]) * r[2][j];
    out[j] = ordered(static_cast<float>(v));
  }
  return out;
}

Key key_of(const Reflection& h) { return {ordered(h[0]), ordered(h[1]), ordered(h[2])}; }

Rotation product(const Rotation& a, const Rotation& b) {
  Rotation out{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) out[i][j] += a[i][k] * b[k][j];
  return out;
}

constexpr Rotation kInversion{{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};

bool any_imaginary(const std::vector<std::complex<double>>& values) {
  return std::any_of(values.begin(), values.end(),
                     [](const std::complex<double>& v) { return v.imag() != 0; });
}

}  // namespace

MergingGroup merging_group(const Structure& s, const CellGeometry& cell, const std::vector<Vector3>& umom,
                           const std::vector<SpaceOperation>& ops, const AtomCorrections* corrections) {
  const bool imaginary =
      corrections && (any_imaginary(corrections->xray) || any_imaginary(corrections->neutron));
  if (!imaginary) return {laue_group(s, cell, umom, ops), false};
  std::vector<Rotation> point = laue_group(s, cell, umom, ops, false);
  const bool centric = std::find(point.begin(), point.end(), kInversion) != point.end();
  return {std::move(point), !centric};
}

std::vector<Rotation> laue_group(const Structure& s, const CellGeometry& cell,
                                 const std::vector<Vector3>& umom, const std::vector<SpaceOperation>& ops,
                                 bool friedel) {
  std::vector<Vec> xyz;
  for (const AtomSite& atom : s.atoms) xyz.push_back({atom.xyz[0], atom.xyz[1], atom.xyz[2]});
  const std::vector<std::optional<Vec>> moments = atom_moments(s, umom);
  const AtomFinder finder(xyz);
  const Rotation identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  std::vector<Rotation> group{identity};
  const auto add = [&group](const Rotation& r) {
    if (std::find(group.begin(), group.end(), r) == group.end()) group.push_back(r);
  };
  for (const SpaceOperation& op : ops) {
    if (std::find(group.begin(), group.end(), op.rot) != group.end()) continue;  // its rotation is in already
    if (is_symmetry(op, s, xyz, moments, finder, cell)) add(op.rot);
  }
  if (friedel) add(kInversion);
  // Products of symmetries are symmetries: the group is closed, also when the
  // operations given were only its generators.
  for (std::size_t i = 0; i < group.size(); ++i)
    for (std::size_t j = 0; j <= i; ++j) {
      add(product(group[i], group[j]));
      add(product(group[j], group[i]));
    }
  return group;
}

std::vector<EquivalentSet> unique_reflections(const std::vector<Reflection>& hkl,
                                              const std::vector<Rotation>& laue) {
  std::vector<EquivalentSet> sets;
  std::map<Key, std::size_t> set_of;  // greatest member of a set: its index in sets
  std::set<Key> seen;                 // h k l listed so far
  std::vector<Key> images;
  for (std::size_t i = 0; i < hkl.size(); ++i) {
    const Key h = key_of(hkl[i]);
    images.clear();
    images.push_back(h);
    for (const Rotation& r : laue) images.push_back(image_of(hkl[i], r));
    std::sort(images.begin(), images.end());
    images.erase(std::unique(images.begin(), images.end()), images.end());
    const auto [at, added] = set_of.emplace(images.back(), sets.size());
    if (added) sets.push_back({i, images.size(), 0});
    EquivalentSet& set = sets[at->second];
    if (!seen.insert(h).second) continue;
    ++set.listed;
    if (key_of(hkl[set.representative]) < h) set.representative = i;
  }
  return sets;
}

}  // namespace velmora
