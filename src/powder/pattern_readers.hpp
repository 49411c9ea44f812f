// The readers of the measured-pattern formats other than plain columns, one
// file each. Each takes the file's whole content and the name messages give
// it, and returns the points as the file holds them; the rules on the points
// as a whole are applied after (observed_points.hpp).
#pragma once

#include <string>
#include <string_view>

#include "powder/observed_pattern.hpp"

namespace velmora::powder {

// GSAS raw files (.gsas, .gsa, .raw, .cwn, .fxye): the first bank; a note in
// remarks names the others.
ObservedPattern read_gsas_raw(std::string_view text, const std::string& name, Remarks& remarks);
bool is_gsas_raw(std::string_view text);

// Bruker (Siemens) DIFFRAC RAW files, versions RAW1.01 and RAW4.00: the first range.
ObservedPattern read_bruker_raw(std::string_view bytes, const std::string& name, Remarks& remarks);
bool is_bruker_raw(std::string_view bytes);

// PANalytical XRDML files: the first scan's 2-theta positions and counts.
ObservedPattern read_xrdml(std::string_view text, const std::string& name, Remarks& remarks);
bool is_xrdml(std::string_view text);

// FullProf's free-format .dat: title lines, a line of 2-theta start, step and
// end, then the intensities.
ObservedPattern read_fullprof_dat(std::string_view text, const std::string& name);
bool is_fullprof_dat(std::string_view text);

}  // namespace velmora::powder
