// The SVG file PLplot draws into. PLplot is handed an open file, never a name:
// it rewrites some names itself ("%n" becomes a number), which would put the
// picture beside the file the run had reserved for it. A fatal error inside
// PLplot, after which it would end the process itself, ends the run as every
// other failure does: temporary files removed, one message, status 1.
#pragma once

#include <string>

namespace velmora::powder {

// Opens `file` (created by the run, emptied here) as PLplot's SVG output of
// the given size in points and starts PLplot on it.
void begin_svg_page(const std::string& file, int width, int height);

// Ends PLplot's drawing, which closes the file; returns whether the SVG in it
// is whole (PLplot reports no failed write).
bool end_svg_page(const std::string& file);

// The current characters' size in the current window's units (absolute): the
// width of a label's average character, generously, and the height of a line.
struct TextExtent {
  double char_width, line_height;
};
TextExtent text_extent();

}  // namespace velmora::powder
