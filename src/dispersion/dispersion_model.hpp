// Which anomalous dispersion the companions add to X-ray scattering: none (the
// free-atom f0 alone, as velmora computes), or f' and f'' by the Cromer-Liberman
// calculation. Read by every program's option and the module's argument.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class DispersionModel { none, cromer_liberman };

inline constexpr std::string_view kDispersionOption = "--dispersion";

inline std::optional<DispersionModel> dispersion_model_named(std::string_view name) {
  if (name == "none") return DispersionModel::none;
  if (name == "cromer-liberman") return DispersionModel::cromer_liberman;
  return std::nullopt;
}

inline std::string_view dispersion_model_name(DispersionModel model) {
  return model == DispersionModel::none ? "none" : "cromer-liberman";
}

}  // namespace velmora
