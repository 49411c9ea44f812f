// velmora: squared neutron nuclear, neutron magnetic and X-ray structure
// factors of a crystal for a list of reflections. Takes no arguments; reads
// its tables from the working directory and its answers from standard input.
#include <cstdio>

#include "console/console.hpp"
#include "app/run.hpp"
#include "console/standard_streams.hpp"

int main() {
  const bool terminal = velmora::prepare_standard_streams();
  velmora::Console console(stdin, stdout, stderr, terminal);
  return velmora::run_velmora(console);
}
