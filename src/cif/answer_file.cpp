// Writing the answers. velmora reads each answer from the start of a new line
// and skips what stands on the line after the values it asked for, so the
// site label at the end of an atom or moment line is for the reader only.
#include "cif/answer_file.hpp"

#include <cmath>

#include "model/cartesian_moment.hpp"
#include "numbers/shortest_text.hpp"

namespace velmora::cif {
namespace {

// Appends a blank, then text right-aligned in width characters.
void add_field(std::string& out, const std::string& text, std::size_t width) {
  out += ' ';
  if (text.size() < width) out.append(width - text.size(), ' ');
  out += text;
}

}  // namespace

std::string float_text(double v) {
  const float f = static_cast<float>(v);
  return shortest_text(f == 0.0f ? 0.0f : f);  // -0 written as 0
}

std::string answer_site_text(const std::string& label) {
  std::string text = label;
  for (char& c : text)
    if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7f) c = '_';
  return text.empty() ? "_" : text;
}

CartesianMoment moment_angles(const gemmi::Vec3& moment) {
  return velmora::moment_angles({moment.x, moment.y, moment.z});
}

std::string answer_text(const Crystal& crystal, const std::vector<Hkl>& reflections) {
  std::string out = float_text(crystal.cell[0]);
  for (std::size_t k = 1; k < 6; ++k) add_field(out, float_text(crystal.cell[k]), 0);
  out += '\n';
  out += std::to_string(crystal.atoms.size());
  out += '\n';
  for (const CrystalAtom& atom : crystal.atoms) {
    const CrystalSite& site = crystal.site_of(atom);
    out += trimmed_text_of(site.atype);
    for (double x : atom.xyz) add_field(out, float_text(x), 10);
    add_field(out, float_text(site.occ), 6);
    add_field(out, float_text(site.biso), 8);
    add_field(out, site.magnetic ? "1" : "0", 1);
    add_field(out, answer_site_text(site.label), 3);
    out += '\n';
  }
  for (const CrystalAtom& atom : crystal.atoms) {
    const CrystalSite& site = crystal.site_of(atom);
    if (!site.magnetic) continue;
    out += float_text(atom.moment.size);
    add_field(out, float_text(atom.moment.angle_to_x), 10);
    add_field(out, float_text(atom.moment.angle_to_z), 10);
    add_field(out, answer_site_text(site.label), 3);
    out += '\n';
  }
  out += std::to_string(reflections.size());
  out += '\n';
  for (const Hkl& hkl : reflections) {
    for (double index : hkl) add_field(out, float_text(index), 3);
    out += '\n';
  }
  return out;
}

}  // namespace velmora::cif
