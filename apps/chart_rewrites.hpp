#pragma once
// How the shell commands tell the user that a chart spelling was read as a catalogue one: one
// line on standard error for each spelling, the first time it is met.
#include <iostream>
#include <set>
#include <string>
#include <string_view>

#include "analysis/chart_reading.hpp"

namespace tw::cli {

inline void reportRewrite(std::string_view command, const std::string& typed, const std::string& readAs) {
  std::cerr << "tonalweaver " << command << ": read " << typed << " as " << readAs << "\n";
}

inline void reportRewrites(std::string_view command, const ChartReading& reading) {
  std::set<std::string> told;
  for (const ChartEntry& e : reading.entries)
    if (!e.readAs.empty() && told.insert(e.typed).second) reportRewrite(command, e.typed, e.readAs);
}

}  // namespace tw::cli
