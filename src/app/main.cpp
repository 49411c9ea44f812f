// velmora: squared neutron nuclear, neutron magnetic and X-ray structure
// factors of a crystal for a list of reflections. Takes no arguments; reads
// its tables from the working directory and its answers from standard input.
#include "report/velmora_run.hpp"

int main() { return velmora::run_velmora_on_standard_streams(); }
