// The process's standard streams made ready for a run of velmora, by the program
// itself and by companions that run it in-process.
#pragma once

namespace velmora {

// On Windows switches standard input, output and error to binary, since a run
// writes its own CR LF line ends and reads CR LF itself. Returns whether
// standard output is a terminal (a run then writes it out line by line).
bool prepare_standard_streams();

}  // namespace velmora
