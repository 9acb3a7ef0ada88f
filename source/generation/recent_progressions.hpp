#pragma once
// The signatures of the last ten accepted progressions, newest first, shared by every object
// and genre for the life of the process.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class RecentProgressions {
 public:
  static constexpr std::size_t kCapacity = 10;

  bool contains(std::string_view signature) const;
  // Moves (or puts) the signature to the front and forgets the oldest beyond ten.
  void accept(const std::string& signature);
  void clear() { signatures_.clear(); }
  const std::deque<std::string>& signatures() const { return signatures_; }

 private:
  std::deque<std::string> signatures_;
};

RecentProgressions& recentProgressions();

// The chord symbols, each lower-cased, joined with "|".
std::string progressionSignature(const std::vector<std::string>& chords);

}  // namespace tw
