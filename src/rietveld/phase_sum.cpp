// A phase's own slots in the pattern model's layout (its scale, cell and
// widths) are taken from its block; every other parameter below the
// background is the instrument's, shared by all phases. Derivatives are each
// phase's own, added where a parameter acts on several.
#include "rietveld/phase_sum.hpp"

namespace velmora::rietveld {
namespace {

// The pattern model's index of a block's entry m.
std::size_t model_index(std::size_t m) {
  if (m == PhaseBlock::scale) return ParameterIndex::scale;
  if (m < PhaseBlock::profile) return ParameterIndex::cell + (m - PhaseBlock::cell);
  return ParameterIndex::profile + (m - PhaseBlock::profile);
}

bool own_slot(std::size_t j) {
  return j == ParameterIndex::scale || (j >= ParameterIndex::cell && j < ParameterIndex::cell + 6) ||
         (j >= ParameterIndex::profile && j < ParameterIndex::profile + 5);
}

}  // namespace

PhaseSum::PhaseSum(std::vector<PatternSetup> phases) {
  first_size_ = ParameterIndex::background + static_cast<std::size_t>(phases.front().background_terms);
  for (PatternSetup& setup : phases) phases_.emplace_back(std::move(setup));
  std::size_t next = block_of(phases_.size());
  for (const PatternModel& phase : phases_) {
    structure_first_.push_back(next);
    next += phase.structure_size();
  }
}

std::vector<double> PhaseSum::phase_parameters(std::size_t k, std::span<const double> p) const {
  std::vector<double> local;
  if (k == 0) {
    local.assign(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(first_size_));
  } else {
    local.assign(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(ParameterIndex::background));
    for (std::size_t m = 0; m < PhaseBlock::size; ++m) local[model_index(m)] = p[block_of(k) + m];
  }
  const auto structure = p.begin() + static_cast<std::ptrdiff_t>(structure_first_[k]);
  local.insert(local.end(), structure, structure + static_cast<std::ptrdiff_t>(phases_[k].structure_size()));
  return local;
}

bool PhaseSum::local_index(std::size_t k, std::size_t j, std::size_t& local) const {
  if (j >= structure_first_[k] && j < structure_first_[k] + phases_[k].structure_size()) {
    local = phases_[k].structure_first() + (j - structure_first_[k]);
    return true;
  }
  if (k == 0) {
    local = j;
    return j < first_size_;
  }
  if (j < ParameterIndex::background && !own_slot(j)) {
    local = j;
    return true;
  }
  if (j >= block_of(k) && j < block_of(k) + PhaseBlock::size) {
    local = model_index(j - block_of(k));
    return true;
  }
  return false;
}

void PhaseSum::calculate(std::span<const double> p, std::span<double> y) {
  std::vector<double> part(y.size());
  for (std::size_t k = 0; k < phases_.size(); ++k) {
    const std::vector<double> local = phase_parameters(k, p);
    phases_[k].calculate(local, k == 0 ? y : std::span<double>(part));
    if (k > 0)
      for (std::size_t i = 0; i < y.size(); ++i) y[i] += part[i];
  }
}

bool PhaseSum::analytic(std::size_t j) const {
  for (std::size_t k = 0; k < phases_.size(); ++k)
    if (std::size_t local = 0; local_index(k, j, local) && !phases_[k].analytic(local)) return false;
  return true;
}

void PhaseSum::derivatives(std::span<const double> p, std::span<const double> y,
                           std::span<const std::size_t> columns, Eigen::Ref<Eigen::MatrixXd> d) {
  for (std::size_t k = 0; k < phases_.size(); ++k) {
    std::vector<std::size_t> local_columns, whole_columns;
    for (std::size_t c = 0; c < columns.size(); ++c)
      if (std::size_t local = 0; local_index(k, columns[c], local)) {
        local_columns.push_back(local);
        whole_columns.push_back(c);
      }
    if (local_columns.empty()) continue;
    Eigen::MatrixXd part = Eigen::MatrixXd::Zero(d.rows(), static_cast<Eigen::Index>(local_columns.size()));
    phases_[k].derivatives(phase_parameters(k, p), y, local_columns, part);
    for (std::size_t c = 0; c < whole_columns.size(); ++c)
      d.col(static_cast<Eigen::Index>(whole_columns[c])) += part.col(static_cast<Eigen::Index>(c));
  }
}

}  // namespace velmora::rietveld
