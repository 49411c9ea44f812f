// The structure dialogue, step by step in the order the user meets it.
#include "structure/structure_dialogue.hpp"

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/free_form_writer.hpp"

namespace velmora {
namespace {

constexpr const char* kRule = "---------------------------";

void read_atoms(Console& console, Structure& s) {
  s.atoms.clear();
  s.magnetic.clear();
  s.magnetic_site.clear();
  std::int32_t m = 0;
  for (std::int32_t i = 0; i < s.natom; ++i) {
    s.mflag = -999;
    AtomSite atom;
    console.answer = {DialogueAnswer::Kind::atom, i, s.natom};
    read_free_form(console, console.in,
                   {target(text_span(atom.atype)), target(atom.xyz[0]), target(atom.xyz[1]),
                    target(atom.xyz[2]), target(atom.occ), target(atom.biso), target(s.mflag)});
    s.atoms.push_back(atom);
    if (s.mflag == 1) {
      ++m;
      s.magnetic.push_back(atom);
      s.magnetic_site.push_back(s.atoms.size() - 1);
    }
  }
  s.nmagatom = m;
}

}  // namespace

float to_radians(float degrees, float pi) {
  return static_cast<float>(static_cast<double>(degrees) * pi / 180.0);
}

void read_structure_dialogue(Console& console, float pi, Structure& s) {
  write_free_form(console, {kRule});
  write_free_form(console, {"Velmora"});
  write_free_form(console, {kRule});

  write_free_form(console, {"Lattice params, a b c al be ga (angles in deg)"});
  auto& p = s.param;
  console.answer = {DialogueAnswer::Kind::lattice, 0, 1};
  read_free_form(console, console.in,
                 {target(p[0]), target(p[1]), target(p[2]), target(p[3]), target(p[4]), target(p[5])});
  write_free_form(console, {"num atoms (in largest cell):"});
  console.answer = {DialogueAnswer::Kind::atom_count, 0, 1};
  read_free_form(console, console.in, {target(s.natom)});
  for (int k = 3; k < 6; ++k) p[k] = to_radians(p[k], pi);
  write_free_form(console, {p[0], p[1], p[2], p[3], p[4], p[5]});

  write_free_form(console, {"type x y z occ Biso Mag"});
  write_free_form(console, {"pad type to 3 chars with x eg C = Cxx"});
  write_free_form(console, {"write Fe2 for Fe2+ (for mag calc)"});
  read_atoms(console, s);
  write_free_form(console, {"Found ", s.nmagatom, " mag atoms."});

  if (s.nmagatom > 0) {
    write_free_form(console, {"So specify their moments..."});
    write_free_form(console, {"moment (mu_B), angle to x, angle to z"});
    write_free_form(console, {"where x is along a and z is along c*"});
  }
  s.moments.clear();
  for (std::int32_t m = 0; m < s.nmagatom; ++m) {
    MomentAngles moment;
    console.answer = {DialogueAnswer::Kind::moment, m, s.nmagatom};
    read_free_form(console, console.in, {target(moment.mom), target(moment.theta), target(moment.phi)});
    s.moments.push_back(moment);
  }
  for (MomentAngles& moment : s.moments) {
    moment.theta = to_radians(moment.theta, pi);
    moment.phi = to_radians(moment.phi, pi);
  }

  write_free_form(console, {"How many refns?"});
  console.answer = {DialogueAnswer::Kind::reflection_count, 0, 1};
  read_free_form(console, console.in, {target(s.nrefn)});
  write_free_form(console, {"hkl (reals)"});
  s.hkl.clear();
  for (std::int32_t i = 0; i < s.nrefn; ++i) {
    Reflection h{};
    console.answer = {DialogueAnswer::Kind::reflection, i, s.nrefn};
    read_free_form(console, console.in, {target(h[0]), target(h[1]), target(h[2])});
    s.hkl.push_back(h);
  }
  console.answer = {};
}

}  // namespace velmora
