#include "command_environment.hpp"

#include <filesystem>
#include <system_error>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "command_line.hpp"

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

void addResourcesOption(CLI::App& command, std::string& folder) {
  command.add_option("--resources", folder,
                     "folder holding the corpora cc.bin and pc.bin\n"
                     "(default: the folder \"resources\" beside the binary)")
      ->type_name("DIR");
}

void addClipboardOption(CLI::App& command, std::string& kind) {
  command.add_option("--clipboard", kind,
                     "\"system\" (default) uses the desktop clipboard commands,\n"
                     "\"memory\" a clipboard that lives only in this process")
      ->type_name("KIND")
      ->check(oneOf({"memory", "system"}));
}

}  // namespace tw::cli
