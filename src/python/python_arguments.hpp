// Python arguments as typed values: file paths. A value of the wrong kind
// raises TypeError, its message starting with the argument's name, so a
// caller sees which argument of a call was wrong.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace velmora::python {

// A file or folder named by str, bytes or os.PathLike (pathlib.Path), as the
// bytes the file system takes (os.fsencode).
std::string path_of(const pybind11::handle& value, const std::string& name);

// The same, empty for None.
std::string optional_path_of(const pybind11::handle& value, const std::string& name);

}  // namespace velmora::python
