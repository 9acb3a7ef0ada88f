#pragma once
// What the page server lets in, as plain functions: which Host and Origin headers are its
// own, which files under its web folder it serves and as what, and what a message body must be.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tw::web {

// The address the server listens on and the port it got.
struct ListenAddress {
  std::string host;  // as given to --host: "127.0.0.1", "::1", "0.0.0.0", "localhost", a name
  int port = 0;
};

// "http://host:port/" with an IPv6 literal in brackets.
std::string serverUrl(const ListenAddress& address);

// True when a Host header names this server: its port, and a name that cannot be rebound to
// another site (an IP literal, "localhost", or the host it was told to listen on). A missing
// Host header is refused: every HTTP/1.1 client sends one.
bool isOwnHost(std::string_view hostHeader, const ListenAddress& address);

// True when an Origin header is absent (a same-origin GET, a command-line client) or is this
// server as the browser reached it ("http://" + the Host header).
bool isOwnOrigin(std::optional<std::string_view> originHeader, std::string_view hostHeader);

// The file under `root` that a request path names, or nothing: the path must be absolute,
// free of "." and ".." segments, backslashes, control characters and empty segments, have a
// served extension, and resolve (after symbolic links) to a regular file inside `root`.
// "/" names "index.html".
std::optional<std::filesystem::path> resolveWebFile(const std::filesystem::path& root, std::string_view requestPath);

// The Content-Type for a served extension (".js" → "text/javascript; charset=utf-8"), or
// nothing when the extension is not served.
std::optional<std::string_view> contentTypeFor(std::string_view extension);

// True for "application/json", with or without parameters, in any letter case.
bool isJsonContentType(std::string_view contentType);

inline constexpr std::size_t kMaxMessageBody = 1 << 20;  // a message body above this is refused

}  // namespace tw::web
