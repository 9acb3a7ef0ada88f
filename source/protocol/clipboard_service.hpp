#pragma once
// The clipboard as the clipboard requests see it: plain text to read and write. The host
// supplies the implementation (the desktop's, or one held in memory).
#include <optional>
#include <string>
#include <string_view>

namespace tw {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's text, untrimmed; nothing when the clipboard cannot be reached.
  virtual std::optional<std::string> read() = 0;
  // Replaces the clipboard's text; false when the clipboard cannot be reached.
  virtual bool write(std::string_view text) = 0;
};

// The trim set for clipboard text: space, tab, line feed, carriage return.
std::string trimClipboardText(std::string_view text);

}  // namespace tw
