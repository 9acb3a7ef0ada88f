// The host application's package agrees with the object's registration: the reference page
// is written from it, and the help and ready patches use only messages the object declares,
// with the page's web view wired to the object both ways and the notes played.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "host/reference_page.hpp"
#include "protocol/request_dispatcher.hpp"
#include "host/tonalweaver_object.hpp"

namespace tw {
namespace {

const std::filesystem::path kPackage = std::filesystem::path(TONALWEAVER_SOURCE_DIR) / "package";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PackageFiles, ReferencePageIsWrittenFromTheRegistration) {
  const auto path = kPackage / "docs/refpages/tonalweaver.maxref.xml";
  const std::string expected = referencePageXml(tonalweaverRegistration());
  if (std::getenv("TONALWEAVER_UPDATE_PACKAGE") != nullptr) std::ofstream(path, std::ios::binary) << expected;
  EXPECT_EQ(readFile(path), expected)
      << path << " differs from the registration; rewrite it with TONALWEAVER_UPDATE_PACKAGE=1 ctest -R PackageFiles";
  for (const auto& message : tonalweaverRegistration().messages)
    EXPECT_NE(expected.find("<method name='" + std::string(message.name) + "'>"), std::string::npos) << message.name;
}

TEST(PackageFiles, PackageInfoNamesTheEngineVersion) {
  const auto info = Json::parse(readFile(kPackage / "package-info.json"));
  EXPECT_EQ(info.at("name"), tonalweaverRegistration().className);
  EXPECT_EQ(info.at("version"), kEngineVersion);
  EXPECT_TRUE(std::filesystem::exists(kPackage / "patchers" / info.at("homepatcher").get<std::string>()));
}

// A patcher as boxes by id and patch lines (source box, outlet) -> (destination box, inlet).
struct Patcher {
  std::map<std::string, Json> boxes;
  std::set<std::tuple<std::string, int, std::string, int>> lines;

  explicit Patcher(const std::filesystem::path& path) {
    const auto patcher = Json::parse(readFile(path)).at("patcher");
    for (const auto& entry : patcher.at("boxes")) boxes[entry.at("box").at("id")] = entry.at("box");
    for (const auto& entry : patcher.at("lines")) {
      const auto& line = entry.at("patchline");
      lines.emplace(line.at("source")[0], line.at("source")[1], line.at("destination")[0], line.at("destination")[1]);
    }
  }
  std::string only(const std::string& maxclass, const std::string& text = {}) const {
    std::string found;
    for (const auto& [id, box] : boxes)
      if (box.at("maxclass") == maxclass && (text.empty() || box.value("text", "") == text)) {
        EXPECT_TRUE(found.empty()) << "more than one " << maxclass << " " << text;
        found = id;
      }
    EXPECT_FALSE(found.empty()) << "no " << maxclass << " " << text;
    return found;
  }
  bool wired(const std::string& from, int outlet, const std::string& to, int inlet) const {
    return lines.contains({from, outlet, to, inlet});
  }
  // True when a chain of patch lines leads from (from, outlet) to a box whose text starts with `text`.
  bool leadsTo(const std::string& from, int outlet, const std::string& text) const {
    std::vector<std::string> frontier;
    std::set<std::string> seen;
    for (const auto& [source, sourceOutlet, destination, inlet] : lines)
      if (source == from && sourceOutlet == outlet) frontier.push_back(destination);
    while (!frontier.empty()) {
      const std::string id = frontier.back();
      frontier.pop_back();
      if (!seen.insert(id).second) continue;
      if (boxes.at(id).value("text", "").starts_with(text)) return true;
      for (const auto& [source, sourceOutlet, destination, inlet] : lines)
        if (source == id) frontier.push_back(destination);
    }
    return false;
  }
};

// What every patch of the package needs: the object as registered, the page loaded into a
// web view wired to it both ways, and the note lists reaching MIDI out.
std::string checkObjectWithItsPage(const Patcher& patch) {
  const auto& registration = tonalweaverRegistration();
  const std::string object = patch.only("newobj", std::string(registration.className));
  const auto& box = patch.boxes.at(object);
  EXPECT_EQ(box.at("numinlets"), 1);
  EXPECT_EQ(box.at("numoutlets"), registration.outlets.size());
  EXPECT_EQ(box.at("outlettype"), Json::array({"", registration.outlets[1].type}));
  const std::string web = patch.only("jweb");
  EXPECT_TRUE(patch.wired(web, 0, object, 0)) << "the page's messages reach the object";
  EXPECT_TRUE(patch.wired(object, 0, web, 0)) << "the object's replies reach the page";
  EXPECT_TRUE(patch.wired(patch.only("message", "read tonalweaver.html"), 0, web, 0));
  EXPECT_TRUE(patch.leadsTo(object, 1, "noteout")) << "the note lists are played";
  return object;
}

TEST(PackageFiles, HelpPatcherSendsOnlyDeclaredMessages) {
  const Patcher help(kPackage / "help/tonalweaver.maxhelp");
  const std::string object = checkObjectWithItsPage(help);
  std::set<std::string> declared;
  for (const auto& message : tonalweaverRegistration().messages) declared.insert(std::string(message.name));
  std::set<std::string> shown;
  for (const auto& [source, outlet, destination, inlet] : help.lines) {
    if (destination != object || help.boxes.at(source).at("maxclass") != "message") continue;
    const std::string text = help.boxes.at(source).at("text");
    const std::string selector = text.substr(0, text.find(' '));
    if (selector.front() == '"') {
      // A request object as the message itself: the text must be one quoted JSON object.
      EXPECT_NO_THROW(Json::parse(Json::parse(text).get<std::string>())) << text;
      shown.insert("anything");
    } else {
      EXPECT_TRUE(declared.contains(selector)) << text;
      shown.insert(selector);
    }
  }
  for (const char* message : {"bang", "parse", "voicing", "fromJweb", "anything"})
    EXPECT_TRUE(shown.contains(message)) << "the help patch shows " << message;
}

TEST(PackageFiles, ReadyPatchPlaysThePage) { checkObjectWithItsPage(Patcher(kPackage / "patchers/tonalweaver-play.maxpat")); }

}  // namespace
}  // namespace tw
