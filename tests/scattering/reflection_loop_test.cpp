// The reflection loop's report against the straightforward evaluation of every term from
// scratch, byte for byte, for several thread counts and every instruction-set path, on
// generated structures that exercise the sharing of terms: repeated species and B values,
// magnetic atoms among the others (also first and last), a label twice in a table, a triclinic
// cell, and counts that leave chunks and lane blocks ragged. Also how the threads end when the
// consumer fails or a worker runs out of memory.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <thread>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "geometry/moment_directions.hpp"
#include "numbers/each_vector_path.hpp"
#include "numbers/vector_path.hpp"
#include "report/reflection_report.hpp"
#include "report/structure_dialogue.hpp"
#include "run/run_state.hpp"
#include "scattering/form_factors.hpp"
#include "scattering/reflection_threads.hpp"
#include "scattering/structure_factors.hpp"
#include "scattering/symbol_lookup.hpp"

// Allocation that can be made to fail in every thread but the test's own, as it does when a
// worker runs out of memory.
namespace {
std::atomic<bool> workers_out_of_memory{false};
const std::thread::id test_thread = std::this_thread::get_id();
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
  if (workers_out_of_memory && std::this_thread::get_id() != test_thread) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace velmora {
namespace {

Symbol label(int n) { return {static_cast<char>('A' + n / 26), static_cast<char>('a' + n % 26), 'x'}; }

// Tables with 12 species in every row range; species 3 appears twice, so the
// later row must be the one used.
void fill_tables(ScatteringTables& t, std::mt19937& rng) {
  std::uniform_real_distribution<float> coefficient(0.1f, 12.0f), width(0.2f, 40.0f), length(-4.0f, 10.0f);
  for (int r = 0; r < kXrayRows; ++r) {
    const Symbol l = label(r == 9 ? 3 : r % 40);
    t.xray[r].ion = l;
    t.neutron[r].nion = l;
    t.neutron[r].bcoh = length(rng);
    for (int k = 0; k < 9; ++k) t.xray[r].xsf[k] = k % 2 == 0 ? coefficient(rng) : width(rng);
  }
  for (int r = 0; r < kMagneticRows; ++r) {
    t.magnetic[r].mion = label(r == 7 ? 3 : r % 40);
    for (int k = 0; k < 7; ++k) t.magnetic[r].msf[k] = k % 2 == 0 ? coefficient(rng) / 10 : width(rng);
  }
}

void make_structure(Structure& s, int atoms, int reflections, std::mt19937& rng) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float pi = kPi;
  s.param = {9.81f, 10.42f, 11.07f, to_radians(83.5f, pi), to_radians(97.2f, pi), to_radians(101.9f, pi)};
  const float b_values[] = {0.0f, 0.35f, 0.35f, 1.2f, -0.1f};
  for (int i = 0; i < atoms; ++i) {
    AtomSite a;
    a.atype = label(static_cast<int>(rng() % 12));
    a.xyz = {unit(rng), unit(rng), unit(rng)};
    a.occ = i % 5 == 0 ? 0.5f : 1.0f;
    a.biso = i % 7 == 0 ? unit(rng) : b_values[i % 5];
    s.atoms.push_back(a);
    if (i % 3 == 1 || i == 0 || i == atoms - 1) {
      s.magnetic.push_back(a);
      s.magnetic_site.push_back(s.atoms.size() - 1);
      s.moments.push_back(
          {1.0f + 4.0f * unit(rng), to_radians(360.0f * unit(rng), pi), to_radians(180.0f * unit(rng), pi)});
    }
  }
  for (int i = 0; i < reflections; ++i) {
    s.hkl.push_back({static_cast<float>(static_cast<int>(rng() % 17) - 8),
                     static_cast<float>(static_cast<int>(rng() % 17) - 8),
                     i % 11 == 0 ? 0.5f : static_cast<float>(static_cast<int>(rng() % 17) - 8)});
  }
  s.hkl.push_back({0.0f, 0.0f, 0.0f});
  // Phases far beyond the usual range take the general sine and cosine.
  s.hkl.push_back({1.0e6f, 3.0f, -7.0e5f});
}

// Every term from scratch: lookups, form factors, Debye-Waller factor and
// phase for each atom of each reflection.
std::string straightforward_report(const RunState& st) {
  Console out("");
  write_report_header(out);
  const Structure& s = st.structure;
  const std::span<const NeutronLengthRow> neutron(st.tables.neutron.data(), kNeutronRows);
  const std::span<const MagneticFormRow> magnetic(st.tables.magnetic.data(), kMagneticRows);
  for (const Reflection& hkl : s.hkl) {
    const ReflectionGeometry g = compute_reflection_geometry(hkl, st.cell, st.pi);
    NuclearXraySums nx;
    for (const AtomSite& a : s.atoms) {
      const int row = find_symbol_row(a.atype, neutron, [](const NeutronLengthRow& r) { return r.nion; }) - 1;
      add_nuclear_xray_term(a.occ, st.tables.neutron[row].bcoh,
                            xray_form_factor(st.tables.xray[row].xsf, g.s),
                            debye_waller(a.biso, g.kappa, st.pi), atom_phase(a.xyz, g, st.pi), nx);
    }
    MagneticSums ms;
    for (std::size_t m = 0; m < s.magnetic.size(); ++m) {
      const AtomSite& a = s.magnetic[m];
      const int row = find_symbol_row(a.atype, magnetic, [](const MagneticFormRow& r) { return r.mion; }) - 1;
      add_magnetic_term(a.occ, s.moments[m], st.umom[m],
                        magnetic_form_factor(st.tables.magnetic[row].msf, g.s),
                        debye_waller(a.biso, g.kappa, st.pi), atom_phase(a.xyz, g, st.pi), ms);
    }
    ReflectionValues v{g};
    set_squared_moduli(nx, ms, st.eg2mc, v);
    write_report_row(out, v);
  }
  return out.out.kept_text();
}

std::string loop_report(const RunState& st, int threads) {
  Console out("");
  write_reflection_report(out, {st.tables, st.structure, st.cell, st.umom, st.pi, st.eg2mc}, threads);
  return out.out.kept_text();
}

std::unique_ptr<RunState> generated_run(unsigned seed, int atoms, int reflections) {
  std::mt19937 rng(seed);
  auto st = std::make_unique<RunState>();
  st->pi = kPi;
  st->eg2mc = kEg2mc;
  fill_tables(st->tables, rng);
  make_structure(st->structure, atoms, reflections, rng);
  st->cell = compute_cell_geometry(st->structure.param, st->pi);
  st->umom = compute_moment_directions(st->structure.moments);
  return st;
}

// Chunks of 146 reflections (448 terms each) leave the last chunk and the last lane block of
// every chunk short.
class SharedTermsOnPath : public EachVectorPath {};

TEST_P(SharedTermsOnPath, ReportEqualsTermByTermEvaluationForEveryThreadCount) {
  for (auto [seed, atoms, reflections] : {std::array{1, 150, 600}, {2, 150, 600}, {3, 333, 10007}}) {
    const auto st = generated_run(static_cast<unsigned>(seed), atoms, reflections);
    const std::string expected = straightforward_report(*st);
    ASSERT_GT(expected.size(), st->structure.hkl.size() * 78u);
    for (int threads : {1, 2, 3, 7}) {
      EXPECT_EQ(loop_report(*st, threads), expected) << "seed " << seed << ", " << threads << " threads";
    }
  }
}
VELMORA_ON_EVERY_VECTOR_PATH(SharedTermsOnPath);

// A consumer that fails (as printing does when standard output fails) ends
// the loop at once: no value after it, the workers stopped.
TEST(SharedTermsTest, FailingConsumerStopsTheThreads) {
  const auto st = generated_run(4, 333, 2000);
  const ReflectionLoop loop({st->tables, st->structure, st->cell, st->umom, st->pi, st->eg2mc});
  std::vector<float> seen;
  EXPECT_THROW(for_each_reflection(loop, 3,
                                   [&](const ReflectionValues& v) {
                                     if (seen.size() == 700) throw RunEnded{2};
                                     seen.push_back(v.geometry.h[0]);
                                   }),
               RunEnded);
  ASSERT_EQ(seen.size(), 700u);
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], st->structure.hkl[i][0]);
}

// A worker that fails (its working storage cannot be had) ends the loop on the calling thread
// with the worker's own exception, before any value is handed on, and the other workers stop.
TEST(SharedTermsTest, WorkerFailureReachesTheCaller) {
  const auto st = generated_run(5, 333, 2000);
  const ReflectionLoop loop({st->tables, st->structure, st->cell, st->umom, st->pi, st->eg2mc});
  std::size_t seen = 0;
  workers_out_of_memory = true;
  EXPECT_THROW(for_each_reflection(loop, 3, [&](const ReflectionValues&) { ++seen; }), std::bad_alloc);
  workers_out_of_memory = false;
  EXPECT_EQ(seen, 0u);
  // One thread computes on the caller's own: the same loop then runs to its end.
  for_each_reflection(loop, 1, [&](const ReflectionValues&) { ++seen; });
  EXPECT_EQ(seen, st->structure.hkl.size());
}

}  // namespace
}  // namespace velmora
