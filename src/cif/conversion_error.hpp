// How a conversion reports trouble. Every error ends it through fail_conversion,
// which carries the whole message (the file and the line or item, and what is
// wrong); only the entry point catches it, prints it and exits with status 1.
// Warnings do not stop the conversion: they are collected, one line per cause
// with the atoms it concerns, and printed by the entry point before the answers.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "errors/escaping.hpp"
#include "errors/failure.hpp"

namespace velmora::cif {

// A conversion fails the way every companion does (errors/failure.hpp); its
// messages are escaped where they are printed.
using ConversionError = frontend::Error;
using frontend::printable;

[[noreturn]] inline void fail_conversion(const std::string& message) {
  frontend::fail(message, frontend::FailureCode::cif);
}

class Warnings {
 public:
  // A warning, once however often it is given.
  void add(const std::string& cause) { entry(cause); }
  // A warning about an atom: one line per cause, naming the atoms it concerns.
  void add(const std::string& cause, const std::string& atom) {
    Entry& e = entry(cause);
    if (e.atoms.empty() || e.atoms.back() != atom) e.atoms.push_back(atom);
  }

  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_) {
      std::string line = e.cause;
      for (std::size_t i = 0; i < e.atoms.size() && i < kNamed; ++i)
        line += (i == 0 ? (e.atoms.size() == 1 ? " (atom " : " (atoms ") : ", ") + e.atoms[i];
      if (e.atoms.size() > kNamed) line += " and " + std::to_string(e.atoms.size() - kNamed) + " more";
      if (!e.atoms.empty()) line += ")";
      out.push_back(printable(line));
    }
    return out;
  }

 private:
  static constexpr std::size_t kNamed = 8;  // atoms named in one line; the rest are counted
  struct Entry {
    std::string cause;
    std::vector<std::string> atoms;
  };
  Entry& entry(const std::string& cause) {
    auto [at, added] = index_.emplace(cause, entries_.size());
    if (added) entries_.push_back({cause, {}});
    return entries_[at->second];
  }
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace velmora::cif
