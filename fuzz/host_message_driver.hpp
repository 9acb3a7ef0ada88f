#pragma once
// Driver for host messages as atoms through the engine's object, the way a patch sends them,
// power events included. Everything that leaves either outlet goes through the outlet checks.
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_timers.hpp"
#include "host/power_notifications.hpp"
#include "host/tonalweaver_object.hpp"
#include "request_driver.hpp"

namespace tw::fuzzing {

// ---------------------------------------------------------------------------------------
// Host messages through the object. The input is text, one atom per line, an empty line
// ending a message (at most 16 messages):
//   s<name>   a symbol ("\n" and "\\" escapes allowed)    i<number>  an integer
//   f<number> a float                                      o<class>   an object reference
//   o         a null object reference                      ;  ,  ?    semicolon, comma, other
//   !wake     the system powered on (the clock then moves past the wake delay)
//   !sleep    the system asks whether it may sleep
// A line starting with any other character is a symbol holding the whole line.

struct HostInputMessage {
  Atoms atoms;
  std::string powerEvent;  // set for "!" lines instead of atoms
};

inline std::string unescapeSymbol(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
      out += text[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

inline Atom atomFromLine(std::string_view line) {
  const std::string_view rest = line.substr(1);
  switch (line[0]) {
    case 's': return Atom::symbol(unescapeSymbol(rest));
    case 'i': return Atom::integer(std::strtoll(std::string(rest).c_str(), nullptr, 10));
    case 'f': return Atom::real(std::strtod(std::string(rest).c_str(), nullptr));
    case 'o': return rest.empty() ? Atom::object(std::nullopt) : Atom::object(std::string(rest));
    case ';': return Atom::semicolon();
    case ',': return Atom::comma();
    case '?': return Atom::other();
    default: return Atom::symbol(std::string(line));
  }
}

inline std::vector<HostInputMessage> hostMessagesFromInput(std::string_view text) {
  constexpr std::size_t kMaxMessages = 16;
  std::vector<HostInputMessage> messages(1);
  while (!text.empty() && messages.size() <= kMaxMessages) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) {
      if (!messages.back().atoms.empty() || !messages.back().powerEvent.empty()) messages.emplace_back();
    } else if (line[0] == '!') {
      if (!messages.back().atoms.empty() || !messages.back().powerEvent.empty()) messages.emplace_back();
      messages.back().powerEvent = std::string(line.substr(1));
      messages.emplace_back();
    } else {
      messages.back().atoms.push_back(atomFromLine(line));
    }
  }
  if (messages.size() > kMaxMessages) messages.resize(kMaxMessages);
  return messages;
}

// One engine object as a host would create it, with an in-memory clipboard, a hand-moved
// clock and hand-raised power events. Each rig is a fresh process as far as the object can
// tell, except that the shipped corpora are loaded once.
class HostRig {
 public:
  explicit HostRig(Violations& found) : checker_(found), clipboard_("  Dm7 G7 | Cmaj7 \n") {
    ensureShippedCorpora();
    process_.corporaLoaded = true;
    object_ = std::make_unique<TonalweaverObject>(HostServices{clipboard_, timers_, power_, process_, {}});
    object_->setOutletSink([this](int outlet, const Atoms& message) { checker_.accept(outlet, message); });
  }
  TonalweaverObject& object() { return *object_; }
  OutletTrafficChecker& checker() { return checker_; }
  ManualTimers& timers() { return timers_; }
  HeadlessPowerNotifications& power() { return power_; }

 private:
  OutletTrafficChecker checker_;
  InMemoryClipboard clipboard_;
  ManualTimers timers_;
  HeadlessPowerNotifications power_;
  ProcessWideState process_;
  std::unique_ptr<TonalweaverObject> object_;
};

// How many replies one message may bring: {at least, at most}.
inline std::pair<std::size_t, std::size_t> expectedReplies(const Atoms& message) {
  if (message.empty() || !message[0].isSymbol()) return {0, 1};
  const std::string& selector = message[0].name();
  const std::span<const Atom> arguments(message.data() + 1, message.size() - 1);
  if (selector == "bang" || selector == "parse" || selector == "voicing") return {0, 0};
  if (selector == "fromJweb") {
    if (arguments.size() < 2 || isTypedPageEvent(atomToText(arguments[0]))) return {0, 0};
    return atomToText(arguments[0]) == "write_clipboard" ? std::pair<std::size_t, std::size_t>{0, 1}
                                                         : std::pair<std::size_t, std::size_t>{1, 1};
  }
  for (const auto type : requestMessageTypes()) {
    if (type == selector) {
      if (!arguments.empty() || requestMessageMayOmitText(type)) return {1, 1};
      return {0, 0};
    }
  }
  return {0, 1};
}

inline void checkPatchMessage(const Atoms& message, const std::vector<Atoms>& firstOutlet,
                              const std::vector<Atoms>& notes, Violations& found) {
  const std::string& selector = message[0].name();
  if (selector == "bang") {
    if (notes.size() != 1 || notes[0] != Atoms{Atom::integer(60), Atom::integer(64), Atom::integer(67)})
      found.add("bang did not send exactly 60 64 67");
  } else if (selector == "parse") {
    const auto chord = message.size() > 1 ? parseChordSymbol(atomToText(message[1])) : std::nullopt;
    if (!notes.empty()) found.add("parse sent notes");
    if (firstOutlet.size() != (chord ? 1u : 0u)) {
      found.add("parse sent " + std::to_string(firstOutlet.size()) + " results");
    } else if (chord) {
      const Atoms& result = firstOutlet[0];
      if (result.size() != (chord->bass ? 3u : 2u) || result[1].name() != chord->quality)
        found.add("parse result does not name the parsed chord's quality and bass");
    }
  } else if (selector == "voicing") {
    if (!firstOutlet.empty()) found.add("voicing sent something on the first outlet");
    if (notes.size() > 1) found.add("voicing sent more than one note list");
    if (message.size() < 3) {
      if (!notes.empty()) found.add("voicing with fewer than two arguments sent notes");
    } else if (!notes.empty() && !parseChordSymbol(atomToText(message[2]))) {
      found.add("voicing sent notes for a chord that does not parse");
    }
  }
}

inline void runHostMessageInput(Bytes bytes, Violations& found) {
  HostRig rig(found);
  std::size_t repliesBefore = 0;
  for (const auto& message : hostMessagesFromInput(asText(bytes))) {
    std::vector<Atoms> firstOutlet;
    std::vector<Atoms> notes;
    rig.object().setOutletSink([&](int outlet, const Atoms& sent) {
      rig.checker().accept(outlet, sent);
      if (outlet == 1) notes.push_back(sent);
      if (outlet == 0 && !sent.empty() && sent[0].isSymbol() && sent[0].name() != "toJweb" &&
          sent[0].name() != "toBridge")
        firstOutlet.push_back(sent);
    });
    guarded("host message", found, [&] {
      if (message.powerEvent == "wake") {
        rig.power().raise(PowerEvent::SystemHasPoweredOn);
        rig.timers().advance(kWakeAnnouncementDelay);
      } else if (message.powerEvent == "sleep") {
        rig.power().raise(PowerEvent::CanSystemSleep, 7);
      } else if (!message.powerEvent.empty()) {
        rig.power().raise(PowerEvent::Other);
      } else {
        rig.object().receive(message.atoms);
      }
    });
    const std::size_t replies = rig.checker().replies().size() - repliesBefore;
    repliesBefore = rig.checker().replies().size();
    if (message.powerEvent == "wake") {
      if (replies != 1 || rig.checker().replies().back().type != "system_wake") found.add("a wake was not announced once");
      continue;
    }
    if (!message.powerEvent.empty() || message.atoms.empty()) {
      if (replies != 0) found.add("a power event or an empty message was answered");
      continue;
    }
    const auto [least, most] = expectedReplies(message.atoms);
    if (replies < least || replies > most)
      found.add("message " + excerpt(atomToText(message.atoms[0]), 40) + " got " + std::to_string(replies) +
                " replies");
    if (message.atoms[0].isSymbol()) checkPatchMessage(message.atoms, firstOutlet, notes, found);
  }
  rig.checker().finish();
}

}  // namespace tw::fuzzing
