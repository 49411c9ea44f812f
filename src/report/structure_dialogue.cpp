// The structure dialogue, step by step in the order the user meets it. Each
// step's prompt is written by one function, which the reading dialogue and
// the dialogue of a crystal read elsewhere share. Prompts and answers take
// turns on the console, so the dialogue sits with velmora's printed blocks.
#include "report/structure_dialogue.hpp"

#include <cstdint>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/free_form_writer.hpp"

namespace velmora {
namespace {

constexpr const char* kRule = "---------------------------";

void write_banner(Console& console) {
  write_free_form(console, {kRule});
  write_free_form(console, {"Velmora"});
  write_free_form(console, {kRule});
  write_free_form(console, {"Lattice params, a b c al be ga (angles in deg)"});
}

void write_atom_count_prompt(Console& console) { write_free_form(console, {"num atoms (in largest cell):"}); }

// The lattice parameters with the angles in radians, then the atoms' prompt.
void write_lattice_echo(Console& console, const LatticeParameters& p) {
  write_free_form(console, {p[0], p[1], p[2], p[3], p[4], p[5]});
  write_free_form(console, {"type x y z occ Biso Mag"});
  write_free_form(console, {"pad type to 3 chars with x eg C = Cxx"});
  write_free_form(console, {"write Fe2 for Fe2+ (for mag calc)"});
}

void write_moment_prompts(Console& console, std::int32_t magnetic_atoms) {
  write_free_form(console, {"Found ", magnetic_atoms, " mag atoms."});
  if (magnetic_atoms > 0) {
    write_free_form(console, {"So specify their moments..."});
    write_free_form(console, {"moment (mu_B), angle to x, angle to z"});
    write_free_form(console, {"where x is along a and z is along c*"});
  }
}

void write_reflection_count_prompt(Console& console) { write_free_form(console, {"How many refns?"}); }

void write_reflection_prompt(Console& console) { write_free_form(console, {"hkl (reals)"}); }

// Each atom becomes a site of its own and the atom of the cell at its place.
// A count is never trusted to reserve memory before its entries arrive.
void read_atoms(Console& console, std::int32_t natom, Crystal& crystal) {
  for (std::int32_t i = 0; i < natom; ++i) {
    std::int32_t mflag = -999;
    AtomSite atom;
    console.answer = {DialogueAnswer::Kind::atom, i, natom};
    read_free_form(console, console.in,
                   {target(atom.atype), target(atom.xyz[0]), target(atom.xyz[1]), target(atom.xyz[2]),
                    target(atom.occ), target(atom.biso), target(mflag)});
    CrystalSite site;
    site.atype = atom.atype;
    site.xyz = {atom.xyz[0], atom.xyz[1], atom.xyz[2]};
    site.occ = atom.occ;
    site.biso = atom.biso;
    site.magnetic = mflag == 1;
    crystal.atoms.push_back({crystal.sites.size(), site.xyz, {}});
    crystal.sites.push_back(std::move(site));
  }
}

// The moments of the magnetic atoms, in the order of the atoms.
void read_moments(Console& console, std::int32_t nmagatom, Crystal& crystal) {
  auto atom = crystal.atoms.begin();
  for (std::int32_t m = 0; m < nmagatom; ++m) {
    MomentAngles moment;
    console.answer = {DialogueAnswer::Kind::moment, m, nmagatom};
    read_free_form(console, console.in, {target(moment.mom), target(moment.theta), target(moment.phi)});
    while (!crystal.site_of(*atom).magnetic) ++atom;
    (atom++)->moment = {moment.mom, moment.theta, moment.phi};
  }
}

void read_reflections(Console& console, std::vector<Reflection>& hkl) {
  std::int32_t nrefn = 0;
  console.answer = {DialogueAnswer::Kind::reflection_count, 0, 1};
  read_free_form(console, console.in, {target(nrefn)});
  write_reflection_prompt(console);
  hkl.clear();
  for (std::int32_t i = 0; i < nrefn; ++i) {
    Reflection h{};
    console.answer = {DialogueAnswer::Kind::reflection, i, nrefn};
    read_free_form(console, console.in, {target(h[0]), target(h[1]), target(h[2])});
    hkl.push_back(h);
  }
}

}  // namespace

void read_structure_dialogue(Console& console, float pi, Crystal& crystal, std::vector<Reflection>& hkl) {
  crystal = Crystal();
  write_banner(console);
  LatticeParameters p{};
  console.answer = {DialogueAnswer::Kind::lattice, 0, 1};
  read_free_form(console, console.in,
                 {target(p[0]), target(p[1]), target(p[2]), target(p[3]), target(p[4]), target(p[5])});
  write_atom_count_prompt(console);
  std::int32_t natom = 0;
  console.answer = {DialogueAnswer::Kind::atom_count, 0, 1};
  read_free_form(console, console.in, {target(natom)});
  for (std::size_t k = 0; k < 6; ++k) crystal.cell[k] = p[k];
  for (int k = 3; k < 6; ++k) p[k] = to_radians(p[k], pi);
  write_lattice_echo(console, p);

  read_atoms(console, natom, crystal);
  std::int32_t nmagatom = 0;
  for (const CrystalSite& site : crystal.sites) nmagatom += site.magnetic ? 1 : 0;
  write_moment_prompts(console, nmagatom);
  read_moments(console, nmagatom, crystal);
  write_reflection_count_prompt(console);
  read_reflections(console, hkl);
  console.answer = {};
}

void write_structure_dialogue(Console& console, const Structure& structure) {
  write_banner(console);
  write_atom_count_prompt(console);
  write_lattice_echo(console, structure.param);
  write_moment_prompts(console, static_cast<std::int32_t>(structure.magnetic.size()));
  write_reflection_count_prompt(console);
  write_reflection_prompt(console);
}

}  // namespace velmora
