#include "host/web_request_policy.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <system_error>
#include <utility>

namespace tw::web {

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool isIpv4Literal(std::string_view name) {
  int parts = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = name.find('.', start);
    const std::string_view part = name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || error != std::errc() || end != part.data() + part.size() || value > 255)
      return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

bool isBracketedIpv6(std::string_view name) {
  if (name.size() < 3 || name.front() != '[' || name.back() != ']') return false;
  const std::string_view inner = name.substr(1, name.size() - 2);
  return std::all_of(inner.begin(), inner.end(), [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
}

// The name part and port of a Host header ("name:port", "[v6]:port"); the port is -1 when
// the header has none.
std::optional<std::pair<std::string, int>> splitHost(std::string_view header) {
  if (header.empty()) return std::nullopt;
  std::string_view name = header;
  int port = -1;
  const std::size_t colon = header.rfind(':');
  const std::size_t bracket = header.rfind(']');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    name = header.substr(0, colon);
    const std::string_view digits = header.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || port < 0 || port > 65535)
      return std::nullopt;
  }
  if (name.empty()) return std::nullopt;
  return std::pair{lower(name), port};
}

}  // namespace

std::string serverUrl(const ListenAddress& address) {
  const bool ipv6 = address.host.find(':') != std::string::npos;
  return "http://" + (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port) + "/";
}

bool isOwnHost(std::string_view hostHeader, const ListenAddress& address) {
  const auto split = splitHost(hostHeader);
  if (!split) return false;
  const auto& [name, port] = *split;
  if ((port == -1 ? 80 : port) != address.port) return false;
  if (name == "localhost" || isIpv4Literal(name) || isBracketedIpv6(name)) return true;
  return name == lower(address.host);
}

bool isOwnOrigin(std::optional<std::string_view> originHeader, std::string_view hostHeader) {
  if (!originHeader) return true;
  return lower(*originHeader) == "http://" + lower(hostHeader);
}

std::optional<std::string_view> contentTypeFor(std::string_view extension) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kTypes{{
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".ico", "image/x-icon"},
      {".json", "application/json"},
      {".txt", "text/plain; charset=utf-8"},
      {".webmanifest", "application/manifest+json"},
  }};
  const std::string key = lower(extension);
  for (const auto& [ext, type] : kTypes)
    if (ext == key) return type;
  return std::nullopt;
}

std::optional<std::filesystem::path> resolveWebFile(const std::filesystem::path& root, std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
  std::string relative(requestPath.substr(1));
  if (relative.empty()) relative = "index.html";
  for (unsigned char c : relative)
    if (c < 0x20 || c == 0x7f || c == '\\' || c == ':') return std::nullopt;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t slash = relative.find('/', start);
    const std::string_view segment =
        std::string_view(relative).substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (segment.empty() || segment == "." || segment == ".." || segment.front() == '.') return std::nullopt;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  const std::filesystem::path candidate = root / relative;
  if (!contentTypeFor(candidate.extension().string())) return std::nullopt;
  std::error_code error;
  const auto canonicalRoot = std::filesystem::canonical(root, error);
  if (error) return std::nullopt;
  const auto canonicalFile = std::filesystem::canonical(candidate, error);
  if (error || !std::filesystem::is_regular_file(canonicalFile, error) || error) return std::nullopt;
  // Inside the root even after symbolic links are followed.
  const auto [rootEnd, fileIt] =
      std::mismatch(canonicalRoot.begin(), canonicalRoot.end(), canonicalFile.begin(), canonicalFile.end());
  if (rootEnd != canonicalRoot.end()) return std::nullopt;
  return canonicalFile;
}

bool isJsonContentType(std::string_view contentType) {
  const std::string_view media = contentType.substr(0, contentType.find(';'));
  std::string trimmed = lower(media);
  trimmed.erase(0, trimmed.find_first_not_of(" \t"));
  trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
  return trimmed == "application/json";
}

}  // namespace tw::web
