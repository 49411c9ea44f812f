// The companions' one rule for the files they read: a regular file or a pipe
// (a FIFO, /dev/stdin on a pipe, a shell's <(...)) is read; a folder, a device
// or a socket is refused before anything is read from it, since a device such
// as /dev/zero or a terminal would never end. Reading stops, refused, beyond a
// limit the caller sets for what the file can sensibly hold.
#pragma once

#include <cstddef>
#include <string>

namespace velmora::frontend {

// The whole content of the file at path, or of standard input for the path
// -. `what` names it in messages ("the answers"): "PATH: cannot read WHAT:
// REASON".
std::string read_input_file(const std::string& path, const std::string& what, std::size_t limit);

// The name messages give an input: the path, or "standard input" for -.
inline std::string input_name(const std::string& path) { return path == "-" ? "standard input" : path; }

// The largest file the companions read: an answer file or a list of 10^7
// reflections (velmora-cif's most) takes some 160 MB; beyond 512 MiB a file is
// no input of theirs, and reading it would only fill the memory.
inline constexpr std::size_t kMostInputBytes = std::size_t{512} << 20;

}  // namespace velmora::frontend
