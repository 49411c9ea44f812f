// A whole run of velmora: tables, constants, dialogue, cell geometry, moment
// directions, reflection report, end. Returns the exit status.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geometry/cell.hpp"
#include "model/crystal.hpp"
#include "scattering/atom_corrections.hpp"
#include "scattering/given_magnetic_forms.hpp"
#include "structure/structure.hpp"
#include "tables/table_folder.hpp"

namespace velmora {

struct Console;

// A companion's magnetic form factors for the structure the dialogue read.
using GivenFormsOf = std::function<GivenMagneticForms(const Structure&, const CellGeometry&, float pi)>;

// A companion's corrections to the free-atom scattering of the structure the run holds.
using CorrectionsOf = std::function<AtomCorrections(const Structure&)>;

// velmora's run; given_forms, when set (never by velmora itself), supplies
// the form factors of magnetic atoms that velmora's <j0> table does not give,
// and rows_beyond (never set by velmora itself) reads the table rows after
// velmora's own (see load_scattering_tables).
int run_velmora(Console& console, const GivenFormsOf& given_forms = {}, bool rows_beyond = false);

// The one set-up of a run on this process's standard streams, for velmora and
// for a companion that runs it in-process: the answers from standard input, or
// the text given; the tables from the working directory, or those given (then
// the working directory is never read). Returns the exit status.
// given_forms and rows_beyond as for run_velmora.
int run_velmora_on_standard_streams(std::optional<std::string> answers = std::nullopt,
                                    std::optional<TableFiles> tables = std::nullopt,
                                    const GivenFormsOf& given_forms = {}, bool rows_beyond = false);

// velmora's run, on this process's standard streams, for a crystal read by
// another reader: the tables given (the working directory is never read),
// the dialogue's prompts written as velmora writes them for answers that
// hold this crystal and these reflections, then the cell, the moments and
// the report. given_forms as for run_velmora; corrections, when set, are
// added to the sums of the report; the tables' rows after velmora's own are
// read. Returns velmora's exit status.
int run_velmora_on_crystal(const Crystal& crystal, std::vector<Reflection> hkl, TableFiles tables,
                           const GivenFormsOf& given_forms = {}, const CorrectionsOf& corrections = {});

}  // namespace velmora
