// The Python module velmora: structures from a CIF, an answer file or Python
// values; their reflections as numpy arrays of velmora's single-precision
// values, one row per reflection or per set of equivalents; their powder
// pattern by velmora-powder's computation. Computing releases the GIL.
#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "errors/failure.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "numbers/shortest_text.hpp"
#include "python/observed_refinement.hpp"
#include "python/powder_arguments.hpp"
#include "python/python_arguments.hpp"
#include "python/structure_model.hpp"
#include "run/run_values.hpp"

namespace py = pybind11;

namespace {

using velmora::EquivalentSet;
using velmora::Reflection;
using velmora::ReflectionValues;
using velmora::python::StructureModel;

py::array_t<float> float_array(std::size_t n, const std::function<float(std::size_t)>& value) {
  py::array_t<float> out(static_cast<py::ssize_t>(n));
  auto view = out.mutable_unchecked<1>();
  for (std::size_t i = 0; i < n; ++i) view(static_cast<py::ssize_t>(i)) = value(i);
  return out;
}

// Notes as velmora.VelmoraNote, warnings as velmora.VelmoraWarning. A warning
// that the filters turn into an error (python -W error) propagates as that error.
void warn_all(const std::vector<velmora::frontend::Remark>& remarks) {
  const py::module_ module = py::module_::import("velmora");
  for (const velmora::frontend::Remark& remark : remarks) {
    const bool note = remark.kind == velmora::frontend::Remark::Kind::note;
    const py::object category = module.attr(note ? "VelmoraNote" : "VelmoraWarning");
    if (PyErr_WarnEx(category.ptr(), remark.text.c_str(), 1) != 0) throw py::error_already_set();
  }
}

// The text of every remark, notes and warnings, in the order given.
std::vector<std::string> remark_texts(const std::vector<velmora::frontend::Remark>& remarks) {
  std::vector<std::string> texts;
  for (const velmora::frontend::Remark& remark : remarks) texts.push_back(remark.text);
  return texts;
}

// The module's exception and warning classes. A failure the system reported
// for a file is also the OSError subclass Python has for it, so that
// `except FileNotFoundError` works; str() stays the programs' message.
constexpr const char* kExceptionClasses = R"py(
class VelmoraError(RuntimeError):
    """A failure as the programs report it. str() is the message they print after
    "error: "; its parts are values: code (what kind of fault: "usage", "option", "file",
    "answers", "table", "cif", "powder", "structure" or "refused"), where (the place the
    message names: "FILE, line N (ANSWER)" or "OPTION"; empty when none), file, line (from
    1; 0 for the file as a whole), answer, option and reason (empty when not concerned)."""

    def __str__(self):
        return str(self.args[0]) if self.args else ""


class VelmoraOSError(VelmoraError, OSError):
    """A file the system refused: errno, strerror and filename as OSError gives them."""


class VelmoraFileNotFoundError(VelmoraOSError, FileNotFoundError):
    """A file or folder that does not exist."""


class VelmoraIsADirectoryError(VelmoraOSError, IsADirectoryError):
    """A folder where a file was expected."""


class VelmoraPermissionError(VelmoraOSError, PermissionError):
    """A file the system does not let the module read or write."""


class VelmoraWarning(UserWarning):
    """What the user should check: the programs' "warning:" lines."""


class VelmoraNote(UserWarning):
    """What was done, for the record: the programs' "note:" lines."""
)py";

// The class a failure is raised as: VelmoraError, or the OSError subclass of its error number.
py::object error_class(const py::module_& module, int os_error) {
  if (os_error == 0) return module.attr("VelmoraError");
  if (os_error == ENOENT) return module.attr("VelmoraFileNotFoundError");
  if (os_error == EISDIR) return module.attr("VelmoraIsADirectoryError");
  if (os_error == EACCES || os_error == EPERM) return module.attr("VelmoraPermissionError");
  return module.attr("VelmoraOSError");
}

// Text of a file or site as Python's str: bytes that are no UTF-8 (a file
// name's) kept as os.fsdecode keeps them, so that no conversion fails.
py::str decoded(const std::string& bytes) {
  PyObject* text =
      PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

void raise_failure(const std::string& message, const velmora::frontend::Failure& f) {
  const py::module_ module = py::module_::import("velmora");
  const py::object kind = error_class(module, f.os_error);
  py::object raised = kind(message);
  raised.attr("code") = velmora::frontend::failure_code_name(f.code);
  // The parts as the message shows them (bytes escaped); the file as the system names it.
  using velmora::frontend::printable;
  raised.attr("where") = printable(velmora::frontend::failure_place(f));
  raised.attr("file") = decoded(f.file);
  raised.attr("line") = f.line;
  raised.attr("answer") = printable(f.answer);
  raised.attr("option") = printable(f.option);
  raised.attr("reason") = printable(f.reason);
  if (f.os_error != 0) {
    raised.attr("errno") = f.os_error;
    raised.attr("strerror") = py::module_::import("os").attr("strerror")(f.os_error);
    raised.attr("filename") = decoded(f.file);
  }
  PyErr_SetObject(kind.ptr(), raised.ptr());
}

// A failure that only a reason and its kind describe.
void raise_reason(const char* reason, velmora::frontend::FailureCode code) {
  velmora::frontend::Failure f;
  f.code = code;
  f.reason = reason;
  raise_failure(reason, f);
}

// h k l as one (n, 3) array: int32 when every index is a whole number (as
// every list of a d-spacing is), else float32, velmora's own values.
py::array hkl_array(std::size_t n, const std::function<Reflection(std::size_t)>& hkl_at) {
  constexpr float kBeyondInt32 = 2147483648.0f;  // 2^31: every whole float below it fits
  bool whole = true;
  for (std::size_t i = 0; i < n && whole; ++i)
    for (float v : hkl_at(i)) whole = whole && v == std::nearbyint(v) && std::abs(v) < kBeyondInt32;
  const auto fill = [&](auto out) {
    auto view = out.template mutable_unchecked<2>();
    for (std::size_t i = 0; i < n; ++i)
      for (int j = 0; j < 3; ++j)
        view(static_cast<py::ssize_t>(i), j) =
            static_cast<typename decltype(out)::value_type>(hkl_at(i)[static_cast<std::size_t>(j)]);
    return py::array(out);
  };
  const std::vector<py::ssize_t> shape = {static_cast<py::ssize_t>(n), 3};
  return whole ? fill(py::array_t<std::int32_t>(shape)) : fill(py::array_t<float>(shape));
}

// The rows of a reflection table, by column name.
py::dict reflection_arrays(const std::vector<ReflectionValues>& values,
                           const std::vector<std::size_t>& rows) {
  const auto column = [&](const std::function<float(const ReflectionValues&)>& of) {
    return float_array(rows.size(), [&](std::size_t i) { return of(values[rows[i]]); });
  };
  py::dict r;
  r["h"] = column([](const ReflectionValues& v) { return v.geometry.h[0]; });
  r["k"] = column([](const ReflectionValues& v) { return v.geometry.h[1]; });
  r["l"] = column([](const ReflectionValues& v) { return v.geometry.h[2]; });
  r["d"] = column([](const ReflectionValues& v) { return v.geometry.d; });
  r["qx"] = column([](const ReflectionValues& v) { return v.geometry.q.x; });
  r["qy"] = column([](const ReflectionValues& v) { return v.geometry.q.y; });
  r["qz"] = column([](const ReflectionValues& v) { return v.geometry.q.z; });
  r["q"] = column([](const ReflectionValues& v) { return v.geometry.kappa; });
  r["fn2"] = column([](const ReflectionValues& v) { return v.fn_squared; });
  r["fm2"] = column([](const ReflectionValues& v) { return v.fm_squared; });
  r["fx2"] = column([](const ReflectionValues& v) { return v.fx_squared; });
  r["hkl"] = hkl_array(rows.size(), [&](std::size_t i) { return values[rows[i]].geometry.h; });
  return r;
}

std::vector<Reflection> hkl_of(const py::object& hkl) {
  const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(hkl);
  if (!a || a.ndim() != 2 || a.shape(1) != 3) throw py::value_error("hkl: give an (n, 3) array of h k l");
  std::vector<Reflection> out;
  const auto view = a.unchecked<2>();
  for (py::ssize_t i = 0; i < view.shape(0); ++i) {
    const Reflection h{static_cast<float>(view(i, 0)), static_cast<float>(view(i, 1)),
                       static_cast<float>(view(i, 2))};
    // An index beyond single precision is infinite as velmora's float.
    if (!std::all_of(h.begin(), h.end(), [](float v) { return std::isfinite(v); })) {
      char row[96];
      std::snprintf(row, sizeof row, "%g %g %g", view(i, 0), view(i, 1), view(i, 2));
      throw py::value_error("hkl: row " + std::to_string(i) + " (" + row +
                            "): every index must be a finite number within single precision");
    }
    if (h == Reflection{0, 0, 0})
      throw py::value_error("hkl: row " + std::to_string(i) + " (0 0 0): no reflection; its d is infinite");
    out.push_back(h);
  }
  return out;
}

py::dict reflections(const StructureModel& m, const py::object& dmin, const py::object& hkl, bool unique,
                     const py::object& wavelength, const py::object& dispersion, const py::object& isotopes) {
  if (!dmin.is_none() && !hkl.is_none()) throw py::value_error("reflections: give dmin or hkl, not both");
  velmora::python::Corrections chosen;
  chosen.dispersion = velmora::python::dispersion_of(
      dispersion,
      wavelength.is_none() ? velmora::DispersionModel::none : velmora::DispersionModel::cromer_liberman);
  chosen.isotopes = velmora::python::isotopes_of(isotopes);
  std::optional<double> lambda;
  if (!wavelength.is_none()) {
    lambda = velmora::python::number_of(wavelength, "wavelength", "a wavelength in angstroms");
    if (!(*lambda > 0))
      throw py::value_error("wavelength: " + velmora::shortest_text(static_cast<float>(*lambda)) +
                            ": a wavelength is above 0 (angstroms)");
  } else if (chosen.dispersion != velmora::DispersionModel::none) {
    throw py::type_error(
        "dispersion=\"cromer-liberman\": f' and f'' depend on the wavelength; give wavelength=");
  }
  // As velmora-cif --run: the neutron lengths are velmora's table unless a
  // wavelength (the absorbers' b'' there) or an isotope is given.
  chosen.neutron = lambda.has_value() || !chosen.isotopes.empty();
  std::vector<std::string> warnings;
  const velmora::AtomCorrections corrections = velmora::python::corrections_at(m, chosen, lambda, &warnings);
  velmora::powder::Remarks lengths;
  for (const std::string& warning : warnings) lengths.warn(warning);
  warn_all(lengths.items);
  bool anomalous = false;
  std::vector<Reflection> list;
  if (!dmin.is_none()) {
    const double d = velmora::python::dmin_of(dmin);
    py::gil_scoped_release unlocked;
    list = velmora::python::reflections_to(m, d);
  } else if (!hkl.is_none()) {
    list = hkl_of(hkl);
  } else {
    list = m.state->structure.hkl;
  }
  std::vector<ReflectionValues> values;
  std::vector<EquivalentSet> sets;
  {
    py::gil_scoped_release unlocked;
    values = velmora::python::compute(m, list, corrections);
    if (unique) sets = velmora::python::equivalent_sets(m, list, nullptr, corrections, &anomalous);
  }
  // Indices or values beyond single precision would give inf or NaN rows.
  for (const ReflectionValues& v : values)
    if (!std::isfinite(v.geometry.d) || !std::isfinite(v.geometry.kappa) || !std::isfinite(v.fn_squared) ||
        !std::isfinite(v.fm_squared) || !std::isfinite(v.fx_squared)) {
      const Reflection& h = v.geometry.h;
      throw velmora::python::ModelError(
          "reflection " + velmora::shortest_text(h[0]) + " " + velmora::shortest_text(h[1]) + " " +
          velmora::shortest_text(h[2]) + ": its values are not finite numbers in single precision (d " +
          velmora::shortest_text(v.geometry.d) + ", |q| " + velmora::shortest_text(v.geometry.kappa) +
          ", |Fn|^2 " + velmora::shortest_text(v.fn_squared) + ", |Fm|^2 " +
          velmora::shortest_text(v.fm_squared) + ", |FX|^2 " + velmora::shortest_text(v.fx_squared) + ")");
    }
  std::vector<std::size_t> rows;
  if (unique) {
    for (const EquivalentSet& s : sets) rows.push_back(s.representative);
  } else {
    for (std::size_t i = 0; i < values.size(); ++i) rows.push_back(i);
  }
  py::dict r = reflection_arrays(values, rows);
  if (unique) {
    py::array_t<long> multiplicity(static_cast<py::ssize_t>(sets.size()));
    auto view = multiplicity.mutable_unchecked<1>();
    for (std::size_t i = 0; i < sets.size(); ++i)
      view(static_cast<py::ssize_t>(i)) = static_cast<long>(sets[i].multiplicity);
    r["multiplicity"] = multiplicity;
    r["anomalous"] = anomalous;
  }
  return r;
}

py::dict powder(const StructureModel& m, const velmora::python::PowderArguments& given) {
  velmora::powder::Remarks chosen;
  velmora::powder::PowderOptions options = velmora::python::powder_options_of(given, chosen);
  // The absorption is the X-rays' with a tube, as velmora-powder's --source shows X-rays.
  if (!options.source.empty()) options.radiation = velmora::powder::Radiation::xray;
  velmora::python::check_absorption(options, false);
  warn_all(chosen.items);
  velmora::python::PowderRun run;
  {
    py::gil_scoped_release unlocked;
    run = velmora::python::compute_powder(m, options);
  }
  warn_all(run.remarks);
  const auto& p = run.pattern;
  const auto column = [](const std::vector<float>& v) {
    return float_array(v.size(), [&v](std::size_t i) { return v[i]; });
  };
  py::dict out;
  out["two_theta"] = column(p.two_theta);
  out["neutron_nuclear"] = column(p.nuclear);
  out["neutron_magnetic"] = column(p.magnetic);
  out["neutron"] = column(p.total);
  out["xray"] = column(p.xray);
  if (!run.absorption.text.empty()) out["absorption"] = velmora::python::absorption_stated(run.absorption);
  const auto& peaks = run.peaks;
  const auto peak_column = [&peaks](const std::function<float(const velmora::powder::PowderPeak&)>& of) {
    return float_array(peaks.size(), [&](std::size_t i) { return of(peaks[i]); });
  };
  py::dict table;
  table["h"] = peak_column([](const auto& q) { return q.h[0]; });
  table["k"] = peak_column([](const auto& q) { return q.h[1]; });
  table["l"] = peak_column([](const auto& q) { return q.h[2]; });
  table["d"] = peak_column([](const auto& q) { return q.d; });
  table["two_theta"] = peak_column([](const auto& q) { return q.two_theta; });
  table["fn2"] = peak_column([](const auto& q) { return q.fn_squared; });
  table["fm2"] = peak_column([](const auto& q) { return q.fm_squared; });
  table["fx2"] = peak_column([](const auto& q) { return q.fx_squared; });
  table["neutron_nuclear"] = peak_column([](const auto& q) { return q.nuclear; });
  table["neutron_magnetic"] = peak_column([](const auto& q) { return q.magnetic; });
  table["xray"] = peak_column([](const auto& q) { return q.xray; });
  table["wavelength"] = peak_column([](const auto& q) { return q.wavelength; });
  table["hkl"] = hkl_array(peaks.size(), [&peaks](std::size_t i) { return peaks[i].h; });
  out["peaks"] = table;
  return out;
}

// The magnetic model as Python names it: magnetic_model "j0" or "dipole" (as
// --magnetic-model), g = {element or site: Landé factor} (as --g), ions = {label: ion}.
velmora::python::MagneticChoices magnetic_choices(const py::object& model,
                                                  const std::map<std::string, double>& g,
                                                  const std::map<std::string, std::string>& ions) {
  velmora::python::MagneticChoices choices;
  if (!model.is_none()) {
    if (!PyUnicode_Check(model.ptr()))
      velmora::python::refuse_kind("magnetic_model", "\"j0\" or \"dipole\"", model);
    const std::string name = model.cast<std::string>();
    const auto named = velmora::magnetic_model_named(name);
    if (!named) throw py::value_error("magnetic_model=\"" + name + "\": give \"j0\" or \"dipole\"");
    choices.model = *named;
  }
  for (const auto& [name, value] : g)
    if (const auto fault = velmora::lande_factor_fault(value))
      throw py::value_error("g={\"" + name + "\": " + velmora::shortest_text(value) + "}: " + *fault);
  if (const auto fault = velmora::g_model_fault(!g.empty(), choices.model))
    throw py::value_error("g needs magnetic_model=\"dipole\": " + *fault);
  choices.g = g;
  choices.ions = ions;
  return choices;
}

StructureModel finished(StructureModel m) {
  warn_all(m.remarks);
  return m;
}

// One atom of Structure's list, each field checked by hand so that a wrong
// kind of value is a TypeError naming the atom and the field.
velmora::python::AtomValues atom_of(const py::handle& item, std::size_t index) {
  const std::string atom = "atom " + std::to_string(index + 1);
  const std::string layout = "(type, x, y, z[, occ[, B[, (moment, angle to x, angle to z)]]])";
  if (!velmora::python::is_sequence(item)) velmora::python::refuse_kind(atom, layout, item);
  const auto fields = py::reinterpret_borrow<py::sequence>(item);
  if (fields.size() < 4 || fields.size() > 7) throw py::value_error(atom + ": give " + layout);
  velmora::python::AtomValues a;
  if (!PyUnicode_Check(fields[0].ptr()))
    velmora::python::refuse_kind(atom + " type", "a table label (str)", fields[0]);
  a.type = fields[0].cast<std::string>();
  static const char* const names[5] = {" x", " y", " z", " occ", " B"};
  // A number of any value: a value that is not finite is the crystal's check to refuse.
  const auto number = [&](std::size_t i) {
    if (!velmora::python::is_number(fields[i]))
      velmora::python::refuse_kind(atom + names[i - 1], "a number", fields[i]);
    return fields[i].cast<double>();
  };
  for (std::size_t i = 0; i < 3; ++i) a.xyz[i] = number(1 + i);
  if (fields.size() > 4) a.occ = number(4);
  if (fields.size() > 5) a.biso = number(5);
  if (fields.size() > 6 && !fields[6].is_none()) {
    const std::string wanted = "(moment, angle to x, angle to z)";
    if (!velmora::python::is_sequence(fields[6]))
      velmora::python::refuse_kind(atom + " moment", wanted, fields[6]);
    const auto m = py::reinterpret_borrow<py::sequence>(fields[6]);
    if (m.size() != 3) throw py::value_error(atom + " moment: give " + wanted);
    a.moment.emplace();
    for (std::size_t i = 0; i < 3; ++i) {
      if (!velmora::python::is_number(m[i])) velmora::python::refuse_kind(atom + " moment", wanted, m[i]);
      (*a.moment)[i] = m[i].cast<double>();
    }
  }
  return a;
}

py::dict model_dict(const StructureModel& m) {
  py::dict d;
  for (const auto& e : m.model)
    d[py::str(e.name)] =
        e.text ? py::object(decoded(e.value)) : py::module_::import("json").attr("loads")(decoded(e.value));
  d["atoms"] = m.state->structure.atoms.size();
  d["magnetic_atoms"] = m.state->structure.magnetic.size();
  d["symmetry_operations"] = velmora::python::operation_triplets(m.crystal);
  return d;
}

// The crystal's atoms of the whole cell, as velmora.Atom records, with the
// values as read (double), the type its table label and the site its file's label.
py::list atoms_of(const StructureModel& m) {
  const py::object record = py::module_::import("velmora").attr("Atom");
  py::list out;
  for (const velmora::CrystalAtom& atom : m.crystal.atoms) {
    const velmora::CrystalSite& site = m.crystal.site_of(atom);
    out.append(record(std::string(velmora::trimmed_text_of(site.atype)), decoded(site.label), atom.xyz[0],
                      atom.xyz[1], atom.xyz[2], site.occ, site.biso, site.magnetic));
  }
  return out;
}

// The moment of each magnetic atom, in the order of the atoms: size, angle to x, angle to z.
py::list moments_of(const StructureModel& m) {
  py::list out;
  for (const velmora::CrystalAtom& atom : m.crystal.atoms)
    if (m.crystal.site_of(atom).magnetic)
      out.append(py::make_tuple(atom.moment.size, atom.moment.angle_to_x, atom.moment.angle_to_z));
  return out;
}

}  // namespace

PYBIND11_MODULE(velmora, m) {
  m.doc() = "velmora's structure factors from Python: reflections as numpy arrays, powder patterns";
  m.attr("__version__") = VELMORA_VERSION;
  m.attr("Atom") = py::module_::import("collections")
                       .attr("namedtuple")(
                           "Atom", py::make_tuple("type", "site", "x", "y", "z", "occ", "biso", "magnetic"),
                           py::arg("module") = "velmora");
  m.attr("Atom").attr("__doc__") =
      "An atom of the cell: type (its table label, Fe3), site (the file's site label; empty when\n"
      "the source names none), x y z (fractional), occ, biso (B in square angstroms) and magnetic.";
  py::exec(kExceptionClasses, m.attr("__dict__"));
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const velmora::frontend::Error& e) {
      raise_failure(e.what(), e.failure());
    } catch (const velmora::RunStopped& e) {
      raise_reason(e.what(), velmora::frontend::FailureCode::table);
    } catch (const velmora::python::ModelError& e) {
      raise_reason(e.what(), velmora::frontend::FailureCode::structure);
    }
  });

  py::class_<StructureModel>(
      m, "Structure",
      "A crystal structure as velmora computes it. Made by read_cif, read_answers or\n"
      "Structure(cell, atoms, symmetry=None, tables=None, magnetic_model=None, g={}, ions={}):\n"
      "cell = (a, b, c, alpha, beta, gamma) in angstroms and degrees; atoms = [(type, x, y, z,\n"
      "occ, B, moment), ...] with occ, B and moment optional, moment = (size in Bohr magnetons,\n"
      "angle to x, angle to z in degrees; x along a, z along c*), type a table label (Fe2, Oxx);\n"
      "symmetry = the operations of the structure as triplets (\"-y,x,z\"), used by unique\n"
      "reflections; magnetic_model, g and ions as for read_answers.")
      .def(py::init([](const std::array<double, 6>& cell, const py::sequence& atoms,
                       const std::vector<std::string>& symmetry, const py::object& tables,
                       const py::object& magnetic_model, const std::map<std::string, double>& g,
                       const std::map<std::string, std::string>& ions) {
             const auto choices = magnetic_choices(magnetic_model, g, ions);
             std::vector<velmora::python::AtomValues> values;
             for (std::size_t i = 0; i < atoms.size(); ++i) values.push_back(atom_of(atoms[i], i));
             return finished(velmora::python::model_from_values(
                 cell, values, symmetry, velmora::python::optional_path_of(tables, "tables"), choices));
           }),
           py::arg("cell"), py::arg("atoms"), py::arg("symmetry") = std::vector<std::string>(),
           py::arg("tables") = py::none(), py::kw_only(), py::arg("magnetic_model") = py::none(),
           py::arg("g") = std::map<std::string, double>(),
           py::arg("ions") = std::map<std::string, std::string>())
      .def("reflections", &reflections, py::arg("dmin") = py::none(), py::arg("hkl") = py::none(),
           py::arg("unique") = false, py::kw_only(), py::arg("wavelength") = py::none(),
           py::arg("dispersion") = py::none(), py::arg("isotopes") = py::none(),
           "velmora's values as numpy arrays h k l d qx qy qz q fn2 fm2 fx2 (float32: |q| = 2 pi / d in\n"
           "1/angstrom, |Fn|^2 and |Fm|^2 in barn, |FX|^2 in electrons squared), for every h k l with\n"
           "d >= dmin (both Friedel mates, by decreasing d), for the rows of hkl (an (n, 3) array), or\n"
           "for the structure's own list. unique=True: one row per set of equivalents (the greatest\n"
           "h k l listed) and its multiplicity, by the Laue group of the nuclear and magnetic structure\n"
           "(by its point group when f'' makes F(h) and F(-h) differ: then 'anomalous' is True).\n"
           "wavelength (angstroms): |FX|^2 with f' and f'' there, dispersion=\"cromer-liberman\" (the\n"
           "default with wavelength) or \"none\" (the default: the free atoms' f0, velmora's own), and\n"
           "the absorbing elements' b'' there in |Fn|^2. isotopes: {element, site or atom type: isotope},\n"
           "as --isotope ({\"Gd\": \"160Gd\"}); without a wavelength an absorber's b'' is that of 1.798 A.\n"
           "hkl: h k l together as an (n, 3) array, int32 when every index is a whole number, else\n"
           "float32 (an answer file or hkl= may list fractional indices).")
      .def(
          "powder",
          [](const StructureModel& s, py::object wavelength, py::object two_theta, py::object fwhm,
             py::object caglioti, py::object source, py::object tch, py::object dmin, py::object instrument,
             py::object dispersion, py::object isotopes, py::object absorption, py::object packing,
             py::object radius) {
            return powder(s, {std::move(wavelength), std::move(source), std::move(two_theta), std::move(fwhm),
                              std::move(caglioti), std::move(tch), std::move(dmin), std::move(instrument),
                              std::move(dispersion), std::move(isotopes), std::move(absorption),
                              std::move(packing), std::move(radius)});
          },
          py::arg("wavelength") = py::none(), py::arg("two_theta") = py::none(), py::arg("fwhm") = py::none(),
          py::arg("caglioti") = py::none(), py::kw_only(), py::arg("source") = py::none(),
          py::arg("tch") = py::none(), py::arg("dmin") = py::none(), py::arg("instrument") = py::none(),
          py::arg("dispersion") = py::none(), py::arg("isotopes") = py::none(),
          py::arg("absorption") = py::none(), py::arg("packing") = py::none(), py::arg("radius") = py::none(),
          "velmora-powder's pattern of every reflection within reach (down to dmin when given):\n"
          "two_theta (degrees) and neutron_nuclear, neutron_magnetic, neutron, xray per degree, and\n"
          "'peaks', each reflection's h k l, d, 2-theta, squared moduli, integrated intensities and\n"
          "wavelength. The source: wavelength in angstroms, or a list of lines, each a wavelength or\n"
          "(wavelength, intensity ratio to the first), as --wavelength; or source, a tube anode (Cu,\n"
          "Mo, Co, Fe, Cr, Ag: K-alpha1 and K-alpha2 at half its intensity), as --source. The grid:\n"
          "two_theta = (from, to, step), as --two-theta. The peaks: Gaussian of fwhm degrees (default\n"
          "0.3), or caglioti = (U, V, W), or pseudo-Voigt tch = (U, V, W, X, Y) as --tch, or\n"
          "tch = (X, Y) with caglioti for U V W. instrument: a GSAS instrument parameter file, as\n"
          "--instrument: its wavelengths, X-ray polarisation and profile where the other arguments\n"
          "give none (a note says what it gave). dispersion: \"cromer-liberman\" (the default with source\n"
          "or an X-ray instrument) puts f' and f'' at each line's wavelength in |FX|^2, \"none\" (else\n"
          "the default) keeps the free atoms' f0. isotopes: {element, site or atom type: isotope}, as\n"
          "--isotope; the neutron columns take them and the absorbing elements' b'' at each line's\n"
          "wavelength. absorption: a capillary's mu R (0 to 10), each peak\n"
          "times the cylinder's transmission A(theta) (Lobanov & alte da Veiga 1998), as --absorption;\n"
          "\"auto\" computes it from the cell's content with packing (the packing fraction) and radius\n"
          "(mm); it applies to X-rays with source or an X-ray instrument, else to neutrons, and the\n"
          "result's 'absorption' says what was used. A wrong value raises ValueError, a wrong kind or\n"
          "combination TypeError, each naming the argument.")
      .def(
          "refine",
          [](const StructureModel& s, py::object observed, py::object refine, py::object wavelength,
             py::object source, py::object instrument, py::object fwhm, py::object caglioti, py::object tch,
             py::object radiation, py::object background_terms, py::object zero_range,
             const std::vector<const StructureModel*>& phases, py::object exclude, py::object le_bail,
             py::object fix, py::object dispersion, py::object isotopes, py::object absorption,
             py::object packing, py::object radius) {
            velmora::python::FitArguments given{
                {std::move(wavelength), std::move(source), py::none(), std::move(fwhm), std::move(caglioti),
                 std::move(tch), py::none(), std::move(instrument), std::move(dispersion),
                 std::move(isotopes), std::move(absorption), std::move(packing), std::move(radius)},
                std::move(observed),
                std::move(refine),
                std::move(radiation),
                std::move(background_terms),
                std::move(zero_range),
                std::move(exclude),
                std::move(le_bail),
                std::move(fix),
                phases};
            std::vector<velmora::frontend::Remark> remarks;
            py::dict report = velmora::python::refine_structure(s, given, remarks);
            warn_all(remarks);
            return report;
          },
          py::arg("observed"), py::arg("refine") = py::none(), py::kw_only(),
          py::arg("wavelength") = py::none(), py::arg("source") = py::none(),
          py::arg("instrument") = py::none(), py::arg("fwhm") = py::none(), py::arg("caglioti") = py::none(),
          py::arg("tch") = py::none(), py::arg("radiation") = py::none(),
          py::arg("background_terms") = py::none(), py::arg("zero_range") = py::none(),
          py::arg("phases") = std::vector<const StructureModel*>(), py::arg("exclude") = py::none(),
          py::arg("le_bail") = py::none(), py::arg("fix") = py::none(), py::arg("dispersion") = py::none(),
          py::arg("isotopes") = py::none(), py::arg("absorption") = py::none(),
          py::arg("packing") = py::none(), py::arg("radius") = py::none(),
          "velmora-powder's fit of a measured pattern, as --observed, and its refinement, as --refine:\n"
          "observed is a file (any format --observed reads) or (two_theta, intensity[, sigma]) arrays;\n"
          "refine names the parameters to refine (a list, or \"scale,cell\", or \"all\"; None: the\n"
          "fit of scale, zero shift and background alone). The source and the peak shape as for\n"
          "powder(); radiation \"neutron\" or \"xray\" (default: X-rays with source or an X-ray\n"
          "instrument file, else neutrons, with a warning); background_terms (default 6) and\n"
          "zero_range (degrees, default 1) as their options; phases: further Structures of the sample;\n"
          "exclude: (from, to) ranges of 2theta left out, as --exclude; le_bail=True: the intensities\n"
          "taken from the measurement, as --le-bail (the scale held; refine defaults to \"all\");\n"
          "fix: a parameter's name or a list of them held at their start, as --fix (\"site.O3.y\");\n"
          "dispersion and isotopes as for powder() (for X-rays f' and f'' on by default; a refinement\n"
          "takes those of the first line). absorption, packing, radius: a capillary's absorption as for\n"
          "powder(), for the radiation fitted; the report's 'absorption' says what was used.\n"
          "Returns the fit report as a dict (scale, zero_shift, background, Rp, Rwp, Rexp, chi2, and\n"
          "with refine parameters [{name, value, esd, refined}], values {name: (value, esd)},\n"
          "structure (the refined Structure: its cell, sites and moments at the refined values),\n"
          "correlations, at_bound, iterations, converged, stop_reason; scales with phases) and\n"
          "'pattern': two_theta, observed, sigma, calculated and background as arrays.")
      .def_property_readonly(
          "cell",
          [](const StructureModel& s) {
            const velmora::CellParameters& c = s.crystal.cell;
            return py::make_tuple(c[0], c[1], c[2], c[3], c[4], c[5]);
          },
          "(a, b, c, alpha, beta, gamma) in angstroms and degrees.")
      .def_property_readonly("atoms", &atoms_of,
                             "Every atom of the cell, in velmora's order, as velmora.Atom.")
      .def_property_readonly(
          "operations",
          [](const StructureModel& s) { return velmora::python::operation_triplets(s.crystal); },
          "The symmetry operations as triplets (-y,x,z); a time-reversing one ends in ,-1.")
      .def_property_readonly("moments", &moments_of,
                             "Each magnetic atom's moment, in the order of the atoms: (size in Bohr\n"
                             "magnetons, angle to x, angle to z in degrees; x along a, z along c*).")
      .def_property_readonly("model", &model_dict)
      .def_property_readonly("warnings", [](const StructureModel& s) { return remark_texts(s.remarks); })
      .def("__repr__", [](const StructureModel& s) {
        return "<velmora.Structure of " + std::to_string(s.state->structure.atoms.size()) + " atoms, " +
               std::to_string(s.state->structure.magnetic.size()) + " magnetic>";
      });

  m.def(
      "read_cif",
      [](const py::object& path_given, const py::object& block,
         const std::map<std::string, std::string>& ions, const py::object& tables,
         const py::object& magnetic_model, const std::map<std::string, double>& g) {
        const std::string path = velmora::python::path_of(path_given, "path");
        const auto choices = magnetic_choices(magnetic_model, g, {});
        const std::string block_name = block.is_none() ? "" : block.cast<std::string>();
        const std::string folder = velmora::python::optional_path_of(tables, "tables");
        StructureModel model;
        {
          py::gil_scoped_release unlocked;
          model = velmora::python::model_from_cif(path, block_name, ions, folder, choices);
        }
        return finished(std::move(model));
      },
      py::arg("path"), py::kw_only(), py::arg("block") = py::none(),
      py::arg("ions") = std::map<std::string, std::string>(), py::arg("tables") = py::none(),
      py::arg("magnetic_model") = py::none(), py::arg("g") = std::map<std::string, double>(),
      "The structure of a CIF or magnetic CIF, as velmora-cif --run converts it: block (default:\n"
      "the first with atom sites), ions = {element or site: table label or ion of\n"
      "magnetic_form_factors.csv} as --ion (\"Ir\": \"Ir4\", \"W\": \"W0:6s1\" where the ion has\n"
      "several configurations), tables (the folder of velmora's tables), magnetic_model \"j0\"\n"
      "(default: velmora's <j0> where its table has the ion, else the ion table's <j0>) or\n"
      "\"dipole\" (<j0> + (2/g - 1) <j2>) as --magnetic-model, g = {element or site: Lande\n"
      "factor} as --g (dipole). The structure's warnings name every form factor not velmora's.");
  m.def(
      "read_answers",
      [](const py::object& path_given, const py::object& tables, const py::object& magnetic_model,
         const std::map<std::string, double>& g, const std::map<std::string, std::string>& ions) {
        const std::string path = velmora::python::path_of(path_given, "path");
        const auto choices = magnetic_choices(magnetic_model, g, ions);
        const std::string folder = velmora::python::optional_path_of(tables, "tables");
        StructureModel model;
        {
          py::gil_scoped_release unlocked;
          model = velmora::python::model_from_answers(path, folder, choices);
        }
        return finished(std::move(model));
      },
      py::arg("path"), py::kw_only(), py::arg("tables") = py::none(), py::arg("magnetic_model") = py::none(),
      py::arg("g") = std::map<std::string, double>(), py::arg("ions") = std::map<std::string, std::string>(),
      "The structure of a velmora answer file, with its reflections (reflections() with no\n"
      "argument). Tables: the folder given, else the working directory or the data beside the\n"
      "module. As velmora-powder's options: magnetic_model \"j0\" or \"dipole\", g = {answer\n"
      "label or element: Lande factor}, ions = {answer label: ion of magnetic_form_factors.csv}\n"
      "(\"Irx\": \"Ir4\", \"Wx\": \"W0:6s1\").");
}
