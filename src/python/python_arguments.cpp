// Argument conversion by hand rather than by pybind11's casts, whose
// TypeError names neither the argument nor what it should have been.
#include "python/python_arguments.hpp"

#include <cmath>

namespace py = pybind11;

namespace velmora::python {

std::string repr_text(const py::handle& value) { return py::repr(value); }

void refuse_value(const std::string& name, const py::handle& value, const std::string& reason) {
  throw py::value_error(name + "=" + repr_text(value) + ": " + reason);
}

void refuse_kind(const std::string& name, const std::string& wanted, const py::handle& given) {
  const std::string kind = py::str(py::type::handle_of(given).attr("__name__"));
  throw py::type_error(name + ": give " + wanted + ", not " + kind);
}

bool is_number(const py::handle& value) {
  PyObject* object = value.ptr();
  return !PyBool_Check(object) && PyNumber_Check(object) && !PyComplex_Check(object) && !is_sequence(value);
}

bool is_sequence(const py::handle& value) {
  return PySequence_Check(value.ptr()) && !PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr());
}

double number_of(const py::handle& value, const std::string& name, const std::string& wanted) {
  if (!is_number(value)) refuse_kind(name, wanted, value);
  const double v = PyFloat_AsDouble(value.ptr());
  if (v == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();  // a number type that cannot be a float
    refuse_kind(name, wanted, value);
  }
  if (!std::isfinite(v)) refuse_value(name, value, "must be a finite number");
  return v;
}

std::vector<double> numbers_of(const py::handle& value, const std::string& name,
                               const std::vector<std::size_t>& lengths, const std::string& wanted) {
  if (!is_sequence(value)) refuse_kind(name, wanted, value);
  const auto items = py::reinterpret_borrow<py::sequence>(value);
  bool fits = false;
  for (std::size_t length : lengths) fits = fits || items.size() == length;
  if (!fits) refuse_value(name, value, "give " + wanted);
  std::vector<double> out;
  for (const py::handle item : items) out.push_back(number_of(item, name, wanted));
  return out;
}

double dmin_of(const py::handle& value) {
  const double dmin = number_of(value, "dmin", "a number (angstroms)");
  if (!(dmin > 0)) refuse_value("dmin", value, "the smallest d must be above 0");
  return dmin;
}

std::string path_of(const py::handle& value, const std::string& name) {
  const py::module_ os = py::module_::import("os");
  if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr()) &&
      !py::isinstance(value, os.attr("PathLike")))
    refuse_kind(name, "a str or os.PathLike (pathlib.Path)", value);
  std::string path = os.attr("fsencode")(value).cast<std::string>();
  // The C library would end the name at the NUL and open another file.
  if (path.find('\0') != std::string::npos) refuse_value(name, value, "a file name cannot hold a NUL byte");
  return path;
}

std::string optional_path_of(const py::handle& value, const std::string& name) {
  return value.is_none() ? std::string() : path_of(value, name);
}

DispersionModel dispersion_of(const py::handle& value, DispersionModel by_default) {
  if (value.is_none()) return by_default;
  if (!py::isinstance<py::str>(value)) refuse_kind("dispersion", "\"cromer-liberman\" or \"none\"", value);
  const auto model = dispersion_model_named(value.cast<std::string>());
  if (!model) refuse_value("dispersion", value, "give \"cromer-liberman\" or \"none\"");
  return *model;
}

std::map<std::string, std::string> isotopes_of(const py::handle& value) {
  std::map<std::string, std::string> isotopes;
  if (value.is_none()) return isotopes;
  if (!py::isinstance<py::dict>(value))
    refuse_kind("isotopes", "a dict of element or site to isotope ({\"Gd\": \"160Gd\"})", value);
  for (const auto& [name, isotope] : value.cast<py::dict>()) {
    if (!py::isinstance<py::str>(name) || !py::isinstance<py::str>(isotope))
      refuse_value("isotopes", value, "each name and isotope is a str, as {\"Gd\": \"160Gd\"}");
    isotopes[name.cast<std::string>()] = isotope.cast<std::string>();
  }
  return isotopes;
}

}  // namespace velmora::python
