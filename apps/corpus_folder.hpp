#pragma once
// Where the command finds "pc.bin" and "cc.bin": the resources folder beside the executable
// unless the user names another.
#include <filesystem>
#include <string>
#include <system_error>

namespace tw::cli {

inline std::string defaultCorpusFolder() {
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "resources";
  return (self.parent_path() / "resources").string();
}

}  // namespace tw::cli
