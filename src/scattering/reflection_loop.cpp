// The reflection loop. Atoms and tables do not change while it runs, so each
// atom's table row is found once, before the first reflection; the result,
// including which message a missing symbol gives and that no lookup happens
// without reflections, is the same as searching for every reflection.
#include "scattering/reflection_loop.hpp"

#include <span>

#include "app/console.hpp"
#include "app/free_form_writer.hpp"
#include "app/run_end.hpp"
#include "scattering/reflection_report.hpp"
#include "scattering/structure_factors.hpp"
#include "scattering/symbol_lookup.hpp"

namespace velmora {
namespace {

[[noreturn]] void unknown_symbol(Console& console, const Symbol& symbol) {
  write_free_form(console, {text_of(symbol), " is unknown symbol"});
  stop_run(console);
}

// Row index (from 0) of every atom's symbol among the first `rows` rows of a
// table; the first atom whose symbol is missing stops the run.
template <typename Row, std::size_t Capacity, typename Label>
std::vector<int> find_rows(Console& console, const std::vector<AtomSite>& atoms,
                           const std::array<Row, Capacity>& table, int rows, Label label) {
  const std::span<const Row> searched(table.data(), static_cast<std::size_t>(rows));
  std::vector<int> found;
  found.reserve(atoms.size());
  for (const AtomSite& atom : atoms) {
    const int row = find_symbol_row(atom.atype, searched, label);
    if (row == kUnknownSymbol) unknown_symbol(console, atom.atype);
    found.push_back(row - 1);
  }
  return found;
}

float squared(float v) { return static_cast<float>(static_cast<double>(v) * v); }

}  // namespace

void run_reflection_report(Console& console, const ReportInputs& in) {
  write_report_header(console);
  const Structure& st = in.structure;
  if (st.hkl.empty()) return;
  // The neutron table's row also indexes the X-ray table; the nuclear lookups
  // all come before the magnetic ones, as in the first reflection's sums.
  const std::vector<int> nuclear_rows =
      find_rows(console, st.atoms, in.tables.neutron, kNeutronRows, [](const NeutronLengthRow& r) { return r.nion; });
  const std::vector<int> magnetic_rows = find_rows(console, st.magnetic, in.tables.magnetic, kMagneticRows,
                                                   [](const MagneticFormRow& r) { return r.mion; });

  for (const Reflection& hkl : st.hkl) {
    const ReflectionGeometry g = compute_reflection_geometry(hkl, in.cell, in.pi);
    NuclearXraySums nx;
    for (std::size_t i = 0; i < st.atoms.size(); ++i) {
      const int row = nuclear_rows[i];
      add_nuclear_xray_term(st.atoms[i], in.tables.neutron[row].bcoh, in.tables.xray[row].xsf, g, in.pi, nx);
    }
    MagneticSums ms;
    for (std::size_t m = 0; m < st.magnetic.size(); ++m) {
      add_magnetic_term(st.magnetic[m], st.moments[m], in.umom[m], in.tables.magnetic[magnetic_rows[m]].msf, g,
                        in.pi, ms);
    }
    const MagneticResult mr = magnetic_result(ms, g.uq, in.eg2mc);
    const float fnucl = nuclear_modulus(nx);
    const float fx_squared =
        static_cast<float>(static_cast<double>(nx.xrn) * nx.xrn + static_cast<double>(nx.xin) * nx.xin);
    write_report_row(console, g, squared(fnucl), squared(mr.fmag), fx_squared);
  }
}

}  // namespace velmora
