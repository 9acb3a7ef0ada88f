#pragma once
// A host without a patcher: messages arrive as lines of JSON text, one message per line, and
// whatever leaves an outlet is written back as a line. Used by the command-line host.
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_layer.hpp"
#include "host/tonalweaver_object.hpp"

namespace tw {

// One input line as a message: a JSON array whose strings are symbols, integers int atoms
// and other numbers float atoms; the first atom is the selector. Nothing and an error
// description when the line is not such an array.
struct MessageLine {
  std::optional<Atoms> message;
  std::string error;
};
MessageLine parseMessageLine(std::string_view line);

// {"atoms":[...],"outlet":N} with atoms written back the way they are read.
std::string formatOutletLine(int outlet, const Atoms& message);

// Creates one object with the given services and feeds it every line of `in` until end of
// input; outlet traffic goes to `out`, diagnostics for bad lines to `diagnostics`. Replies are
// written in blocks while further lines are already waiting and flushed whenever the host
// would wait for input, so a caller that waits for each reply gets it at once. Returns the
// process status: 0.
int runHeadlessHost(std::istream& in, std::ostream& out, std::ostream& diagnostics, HostServices services);

}  // namespace tw
