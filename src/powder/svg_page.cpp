// PLplot's exit handler cannot hand control back (PLplot ends the process
// when it returns), and after a fatal error no further PLplot call is safe: the
// handler therefore finishes the run itself, the way the program's own failure
// path would, and leaves the process with status 1 before PLplot can print or
// exit.
#include "powder/svg_page.hpp"

#ifdef VELMORA_POWDER_PLOT
#include <plplot/plplot.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "files/pending_outputs.hpp"
#include "errors/escaping.hpp"
#include "powder/powder_error.hpp"

namespace velmora::powder {
namespace {

extern "C" int end_run_after_plot_library_error(const char* message) {
  velmora::remove_pending_temporaries();
  std::fflush(stdout);
  std::fprintf(stderr, "velmora-powder: error: --plot: the plotting library stopped: %s\n",
               frontend::printable(message == nullptr ? "" : message).c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

void begin_svg_page(const std::string& file, int width, int height) {
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) fail_powder("--plot: cannot open the file the plot is drawn into: " + std::string(std::strerror(errno)));
  plsexit(end_run_after_plot_library_error);
  plsdev("svg");
  plsfile(out);  // PLplot closes it in plend
  plspage(0, 0, width, height, 0, 0);
}

bool end_svg_page(const std::string& file) {
  plend();
  // A complete SVG ends with its closing tag; a full disk cuts it short.
  std::ifstream written(file, std::ios::binary | std::ios::ate);
  const std::streamoff size = written.tellg();
  if (!written || size < 0) return false;
  const std::streamoff tail = size < 64 ? size : 64;
  std::string end(static_cast<std::size_t>(tail), '\0');
  written.seekg(size - tail);
  written.read(end.data(), tail);
  return written && end.find("</svg>") != std::string::npos;
}

}  // namespace velmora::powder

#endif
