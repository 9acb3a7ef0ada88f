#include "protocol/clipboard_service.hpp"

namespace tw {

std::string trimClipboardText(std::string_view text) {
  constexpr std::string_view kTrimSet = " \t\n\r";
  const auto first = text.find_first_not_of(kTrimSet);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kTrimSet);
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace tw
