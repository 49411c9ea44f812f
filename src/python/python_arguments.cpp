// Argument conversion by hand rather than by pybind11's casts, whose
// TypeError names neither the argument nor what it should have been.
#include "python/python_arguments.hpp"

namespace py = pybind11;

namespace velmora::python {
namespace {

[[noreturn]] void refuse_kind(const std::string& name, const std::string& wanted,
                              const py::handle& given) {
  const std::string kind = py::str(py::type::handle_of(given).attr("__name__"));
  throw py::type_error(name + ": give " + wanted + ", not " + kind);
}

}  // namespace

std::string path_of(const py::handle& value, const std::string& name) {
  const py::module_ os = py::module_::import("os");
  if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr()) &&
      !py::isinstance(value, os.attr("PathLike")))
    refuse_kind(name, "a str or os.PathLike (pathlib.Path)", value);
  return os.attr("fsencode")(value).cast<std::string>();
}

std::string optional_path_of(const py::handle& value, const std::string& name) {
  return value.is_none() ? std::string() : path_of(value, name);
}

}  // namespace velmora::python
