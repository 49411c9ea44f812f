// PLplot's exit handler cannot hand control back (PLplot ends the process
// when it returns), and after a fatal error no further PLplot call is safe: the
// handler therefore finishes the run itself, the way the program's own failure
// path would, and leaves the process with status 1 before PLplot can print or
// exit.
#include "powder/svg_page.hpp"

#ifdef VELMORA_POWDER_PLOT
#include <plplot/plplot.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "errors/escaping.hpp"
#include "files/pending_outputs.hpp"
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
  if (out == nullptr)
    fail_powder("--plot: cannot open the file the plot is drawn into: " + std::string(std::strerror(errno)));
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

TextExtent text_extent() {
  // PLplot's character height is about three quarters of the SVG font size;
  // sans-serif digits are some 0.6 of that size wide, and a line 1.2 of it tall.
  constexpr double kWidthPerHeight = 0.8, kLinePerHeight = 1.6;
  PLFLT default_mm, height_mm, page_x0, page_x1, page_y0, page_y1, vx0, vx1, vy0, vy1, wx0, wx1, wy0, wy1;
  plgchr(&default_mm, &height_mm);
  plgspa(&page_x0, &page_x1, &page_y0, &page_y1);
  plgvpd(&vx0, &vx1, &vy0, &vy1);
  plgvpw(&wx0, &wx1, &wy0, &wy1);
  const double x_per_mm = std::abs(wx1 - wx0) / ((vx1 - vx0) * (page_x1 - page_x0));
  const double y_per_mm = std::abs(wy1 - wy0) / ((vy1 - vy0) * (page_y1 - page_y0));
  return {kWidthPerHeight * height_mm * x_per_mm, kLinePerHeight * height_mm * y_per_mm};
}

}  // namespace velmora::powder

#endif
