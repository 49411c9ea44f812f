// velmora: squared neutron nuclear, neutron magnetic and X-ray structure
// factors of a crystal for a list of reflections. Takes no arguments; reads
// its tables from the working directory and its answers from standard input.
#include <cstdio>

#include "console/console.hpp"
#include "app/run.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

int main() {
#ifdef _WIN32
  // The program writes its own CR LF line ends and reads CR LF itself.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const bool terminal = _isatty(_fileno(stdout)) != 0;
#else
  const bool terminal = isatty(fileno(stdout)) != 0;
#endif
  velmora::Console console(stdin, stdout, stderr, terminal);
  return velmora::run_velmora(console);
}
