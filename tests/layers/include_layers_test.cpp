// The layers import only downwards: the engine (chord, analysis, voicing, generation) knows no
// JSON, API, protocol, host or data-set files; the C++ API (its public headers and their
// implementation) and the protocol stand side by side on the engine and know nothing of each
// other; the host and the data-set tools know no face. Among the engine folders, imports never
// go round in a circle; the public headers include only each other and the standard library.
// Read from the #include lines of the tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const fs::path kRoot = TONALWEAVER_SOURCE_DIR;

const std::set<std::string> kEngine{"chord", "analysis", "voicing", "generation"};

// The public headers (include/tonalweaver) and their implementation (source/api).
bool isApi(const std::string& folder) { return folder == "tonalweaver" || folder == "api"; }

// Engine 0, the API and the protocol 1, host and the data-set tools 2, faces 3.
int rankOf(const std::string& folder) {
  if (kEngine.contains(folder)) return 0;
  if (isApi(folder) || folder == "protocol") return 1;
  if (folder == "host" || folder == "datasets") return 2;
  return 3;
}

struct Include {
  std::string file;  // relative to the root
  int line;
  std::string text;  // what is between the quotes or angle brackets
  bool angled;
};

// Every include of every C++ file under `folder`, with the layer folder of its file.
std::vector<std::pair<std::string, Include>> includesUnder(const fs::path& folder, bool layerFromPath) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<std::pair<std::string, Include>> found;
  for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
    const auto extension = entry.path().extension();
    if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".hpp")) continue;
    const std::string relative = fs::relative(entry.path(), kRoot).generic_string();
    const std::string layer = layerFromPath ? fs::relative(entry.path(), kRoot / folder).begin()->string() : "apps";
    std::ifstream in(entry.path());
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
      std::smatch match;
      if (std::regex_search(text, match, kInclude))
        found.push_back({layer, {relative, number, match[2].str(), match[1].str() == "<"}});
    }
  }
  return found;
}

std::vector<std::pair<std::string, Include>> allIncludes() {
  auto includes = includesUnder("source", true);
  for (auto& header : includesUnder("include", true)) includes.push_back(std::move(header));
  for (auto& apps : includesUnder("apps", false)) includes.push_back(std::move(apps));
  return includes;
}

// The layer folder a quoted include names ("voicing/voice_chord.hpp" → "voicing"); empty for
// a file beside its includer or a data table.
std::string targetFolder(const std::string& include) {
  const auto slash = include.find('/');
  return slash == std::string::npos ? std::string() : include.substr(0, slash);
}

TEST(IncludeLayers, ImportsGoOnlyDownwards) {
  std::vector<std::string> upwards;
  for (const auto& [layer, include] : allIncludes()) {
    if (include.angled) {
      // The JSON library belongs to the protocol (and to the data-set readers and the faces,
      // for the files they read and write themselves).
      if (include.text.starts_with("nlohmann/") && (rankOf(layer) == 0 || isApi(layer) || layer == "host"))
        upwards.push_back(include.file + ":" + std::to_string(include.line) + " includes <" + include.text + ">");
      // The engine reads no files: it is handed the corpus bytes.
      if ((include.text == "fstream" || include.text == "filesystem") && rankOf(layer) == 0)
        upwards.push_back(include.file + ":" + std::to_string(include.line) + " includes <" + include.text + ">");
      continue;
    }
    const std::string target = targetFolder(include.text);
    if (target.empty() || !(kEngine.contains(target) || rankOf(target) < 3)) continue;
    const bool across = (isApi(layer) && target == "protocol") || (layer == "protocol" && isApi(target));
    if (rankOf(target) > rankOf(layer) || across)
      upwards.push_back(include.file + ":" + std::to_string(include.line) + " includes \"" + include.text + "\"");
  }
  EXPECT_TRUE(upwards.empty()) << [&] {
    std::string list;
    for (const auto& line : upwards) list += "\n  " + line;
    return "imports that go upwards or across:" + list;
  }();
}

// What an embedding program includes must build with nothing of this tree but the installed
// headers.
TEST(IncludeLayers, PublicHeadersIncludeOnlyEachOtherAndTheStandardLibrary) {
  std::vector<std::string> foreign;
  for (const auto& [layer, include] : includesUnder("include", true)) {
    const bool standard = include.angled && include.text.find('/') == std::string::npos;
    if (!standard && (include.angled || !include.text.starts_with("tonalweaver/")))
      foreign.push_back(include.file + ":" + std::to_string(include.line) + " includes " + include.text);
  }
  EXPECT_TRUE(foreign.empty()) << [&] {
    std::string list;
    for (const auto& line : foreign) list += "\n  " + line;
    return "public headers that include what is not installed:" + list;
  }();
}

TEST(IncludeLayers, EngineFoldersImportEachOtherWithoutACircle) {
  std::map<std::string, std::set<std::string>> edges;
  std::map<std::pair<std::string, std::string>, std::string> example;
  for (const auto& [layer, include] : allIncludes()) {
    const std::string target = targetFolder(include.text);
    if (include.angled || !kEngine.contains(layer) || !kEngine.contains(target) || target == layer) continue;
    edges[layer].insert(target);
    example.emplace(std::make_pair(layer, target), include.file + ":" + std::to_string(include.line));
  }
  // Depth-first search for a back edge.
  std::map<std::string, int> state;  // 0 unseen, 1 on the path, 2 done
  std::vector<std::string> path;
  std::string circle;
  std::function<bool(const std::string&)> visit = [&](const std::string& folder) {
    state[folder] = 1;
    path.push_back(folder);
    for (const auto& next : edges[folder]) {
      if (state[next] == 1) {
        for (std::size_t i = 0; i < path.size(); ++i)
          if (path[i] == next) {
            for (std::size_t j = i; j < path.size(); ++j) {
              const std::string& to = j + 1 < path.size() ? path[j + 1] : next;
              circle += path[j] + " -> " + to + " (" + example[{path[j], to}] + ")\n";
            }
          }
        return true;
      }
      if (state[next] == 0 && visit(next)) return true;
    }
    path.pop_back();
    state[folder] = 2;
    return false;
  };
  for (const auto& folder : kEngine)
    if (state[folder] == 0 && visit(folder)) break;
  EXPECT_TRUE(circle.empty()) << "engine folders import each other in a circle:\n" << circle;
}

}  // namespace
