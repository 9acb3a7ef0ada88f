#include "generation/recent_progressions.hpp"

#include <algorithm>

namespace tw {

bool RecentProgressions::contains(std::string_view signature) const {
  return std::find(signatures_.begin(), signatures_.end(), signature) != signatures_.end();
}

void RecentProgressions::accept(const std::string& signature) {
  auto it = std::find(signatures_.begin(), signatures_.end(), signature);
  if (it != signatures_.end()) signatures_.erase(it);
  signatures_.push_front(signature);
  while (signatures_.size() > kCapacity) signatures_.pop_back();
}

RecentProgressions& recentProgressions() {
  static RecentProgressions recent;
  return recent;
}

std::string progressionSignature(const std::vector<std::string>& chords) {
  std::string signature;
  for (std::size_t i = 0; i < chords.size(); ++i) {
    if (i > 0) signature += '|';
    for (char c : chords[i])
      signature += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return signature;
}

}  // namespace tw
