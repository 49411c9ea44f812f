// The forms are evaluated once per distinct form and reflection, before the
// loop, so that the loop's kernel only reads them as it reads a table row's
// values; each value is the float MagneticForm::at gives at the reflection's s.
#include "magnetic/tabulated_forms.hpp"

#include "run/run_values.hpp"
#include "scattering/reflection_geometry.hpp"
#include "scattering/reflection_threads.hpp"

namespace velmora {

GivenMagneticForms tabulate_magnetic_forms(const std::vector<MagneticForm>& forms, const Structure& structure,
                                           const CellGeometry& cell, float pi) {
  GivenMagneticForms given;
  std::vector<MagneticForm> distinct;
  for (const MagneticForm& form : forms) {
    if (!form.ion) {
      given.form_of_atom.push_back(GivenMagneticForms::kTableRow);
      continue;
    }
    std::size_t at = 0;
    while (at < distinct.size() && !(distinct[at] == form)) ++at;
    if (at == distinct.size()) distinct.push_back(form);
    given.form_of_atom.push_back(static_cast<int>(at));
  }
  if (distinct.empty()) return given;
  std::vector<float> s;
  s.reserve(structure.hkl.size());
  for (const Reflection& h : structure.hkl) s.push_back(compute_reflection_geometry(h, cell, pi).s);
  for (const MagneticForm& form : distinct) {
    std::vector<float>& values = given.values.emplace_back();
    values.reserve(s.size());
    for (float at : s) values.push_back(form.at(at));
  }
  return given;
}

namespace {

// Forms that are all velmora's own rows give the loop no given form at all.
ScatteringInputs inputs_of(const RunState& state, const GivenMagneticForms& given) {
  return {state.tables,
          state.structure,
          state.cell,
          state.umom,
          state.pi,
          state.eg2mc,
          given.values.empty() ? nullptr : &given,
          state.corrections_given()};
}

}  // namespace

std::optional<Symbol> missing_symbol_with_forms(const RunState& state,
                                                const std::vector<MagneticForm>& forms) {
  Structure atoms_only = state.structure;
  atoms_only.hkl.clear();  // the lookups need no reflection
  const GivenMagneticForms given = tabulate_magnetic_forms(forms, atoms_only, state.cell, state.pi);
  return ReflectionLoop(inputs_of(state, given)).missing_symbol();
}

std::vector<ReflectionValues> compute_reflections_with_forms(const RunState& state,
                                                             const std::vector<MagneticForm>& forms,
                                                             int threads) {
  if (state.structure.hkl.empty()) return {};  // velmora looks up no atom then
  const GivenMagneticForms given = tabulate_magnetic_forms(forms, state.structure, state.cell, state.pi);
  return loop_values(ReflectionLoop(inputs_of(state, given)), threads);
}

}  // namespace velmora
