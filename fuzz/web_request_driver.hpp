#pragma once
// Driver for what reaches the page server from the network: a Host header, an Origin header,
// the path asked for and a message body, checked and forwarded as the server does.
// The input is text: line 1 the Host header, line 2 the Origin header ("-" for none), line 3
// the path, the rest the body of a POST to /messages.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/headless_host.hpp"
#include "host/web_request_policy.hpp"
#include "host_message_driver.hpp"

namespace tw::fuzzing {

inline std::string_view takeLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  const std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  return line;
}

inline std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

inline void runWebRequestInput(Bytes bytes, Violations& found) {
  std::string_view text = asText(bytes);
  const std::string_view host = takeLine(text);
  const std::string_view originLine = takeLine(text);
  const std::string_view path = takeLine(text);
  const std::string_view body = text;
  const web::ListenAddress address{"127.0.0.1", 8080};

  guarded("web request checks", found, [&] {
    // Only this server's port, by a name nobody can rebind, is its own.
    const std::size_t colon = host.rfind(':');
    std::string_view port = colon == std::string_view::npos ? std::string_view() : host.substr(colon + 1);
    while (port.size() > 1 && port.front() == '0') port.remove_prefix(1);
    if (web::isOwnHost(host, address) && port != "8080")
      found.add("a Host header for another port was taken as own: " + excerpt(host));
    const std::optional<std::string_view> origin =
        originLine == "-" ? std::nullopt : std::optional<std::string_view>(originLine);
    if (origin && web::isOwnOrigin(origin, host) && lowerAscii(*origin) != "http://" + lowerAscii(host))
      found.add("a foreign Origin was taken as own: " + excerpt(*origin));

    const std::filesystem::path root = std::filesystem::path(TONALWEAVER_SOURCE_DIR) / "web";
    if (const auto file = web::resolveWebFile(root, path)) {
      const std::string inside = std::filesystem::canonical(root).string() + "/";
      if (!file->string().starts_with(inside)) found.add("a path led out of the page folder: " + excerpt(path));
      if (path.find("..") != std::string_view::npos) found.add("a path with .. was served: " + excerpt(path));
    }
    (void)web::isJsonContentType(path);
  });

  // The body goes to the object only as the server forwards it: a JSON array of atoms.
  MessageLine parsed;
  guarded("message body", found, [&] { parsed = parseMessageLine(body); });
  if (!parsed.message) return;
  HostRig rig(found);
  guarded("host message", found, [&] { rig.object().receive(*parsed.message); });
  const auto [least, most] = expectedReplies(*parsed.message);
  const std::size_t replies = rig.checker().replies().size();
  if (replies < least || replies > most)
    found.add("a posted message got " + std::to_string(replies) + " replies: " + excerpt(body, 80));
  rig.checker().finish();
}

}  // namespace tw::fuzzing
