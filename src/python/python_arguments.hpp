// Python arguments as typed values: numbers, fixed-length tuples of numbers
// and file paths. A value of the wrong kind raises TypeError, a number that is
// not finite ValueError, each message starting with the argument's name, so a
// caller sees which argument of a call was wrong.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "dispersion/dispersion_model.hpp"

namespace velmora::python {

// The value as Python shows it (repr), for messages.
std::string repr_text(const pybind11::handle& value);

// "NAME=REPR: REASON" as a ValueError: the argument, the value given and why it is refused.
[[noreturn]] void refuse_value(const std::string& name, const pybind11::handle& value,
                               const std::string& reason);

// "NAME: give WANTED, not TYPE" as a TypeError.
[[noreturn]] void refuse_kind(const std::string& name, const std::string& wanted,
                              const pybind11::handle& given);

// Whether the value is a number (int, float, numpy scalar; not bool).
bool is_number(const pybind11::handle& value);

// Whether the value is a sequence of values (list, tuple, numpy array), not text.
bool is_sequence(const pybind11::handle& value);

// A finite number; wanted says what else to give in the TypeError.
double number_of(const pybind11::handle& value, const std::string& name,
                 const std::string& wanted = "a number");

// A sequence of finite numbers of one of the lengths allowed; wanted names
// them in messages ("(from, to, step)").
std::vector<double> numbers_of(const pybind11::handle& value, const std::string& name,
                               const std::vector<std::size_t>& lengths, const std::string& wanted);

// The smallest d-spacing of a list, in angstroms: a number above 0.
double dmin_of(const pybind11::handle& value);

// A file or folder named by str, bytes or os.PathLike (pathlib.Path), as the
// bytes the file system takes (os.fsencode).
std::string path_of(const pybind11::handle& value, const std::string& name);

// The same, empty for None.
std::string optional_path_of(const pybind11::handle& value, const std::string& name);

// dispersion= as --dispersion names it ("cromer-liberman" or "none"); None: by_default.
DispersionModel dispersion_of(const pybind11::handle& value, DispersionModel by_default);

// isotopes= as --isotope takes them, {"Gd": "160Gd", "H1": "2H"}; None: none.
std::map<std::string, std::string> isotopes_of(const pybind11::handle& value);

}  // namespace velmora::python
