#include "command_environment.hpp"

#include <filesystem>
#include <system_error>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace tw::cli {

namespace {

std::filesystem::path executablePath() {
  std::error_code error;
#if defined(__APPLE__)
  char buffer[4096];
  std::uint32_t size = sizeof buffer;
  if (_NSGetExecutablePath(buffer, &size) != 0) return {};
  auto path = std::filesystem::canonical(buffer, error);
#else
  auto path = std::filesystem::canonical("/proc/self/exe", error);
#endif
  return error ? std::filesystem::path() : path;
}

}  // namespace

std::string defaultResourceFolder() {
  const auto path = executablePath();
  if (path.empty()) return {};
  return (path.parent_path() / "resources").string();
}

}  // namespace tw::cli
