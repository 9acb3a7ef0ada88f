// Soak: drives one engine object through a long run of mixed requests built from real
// music (chords, lines and keys of the jazz lead sheets) with random damage mixed in, and
// reports the request rate, the peak memory and whether memory stays flat once the caches
// have filled. Not part of the test suite; run it by hand:
//
//   tonalweaver_soak [--requests N] [--seed S] [--datasets DIR] [--check] [--max-growth-mb M]
//
// --check runs every reply through the fuzz targets' reply checks (slower). The exit status is
// non-zero when memory grew by more than M MiB (default 8) after warm-up, when a reply check
// failed, or when a request went unanswered.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "../../fuzz/host_message_driver.hpp"
#include "host/tonalweaver_object.hpp"

namespace {

using tw::Atom;
using tw::Atoms;
using Json = nlohmann::json;

struct SoakOptions {
  long requests = 1'000'000;
  unsigned seed = 20261207;
  std::string datasets = TONALWEAVER_DATASETS_DIR;
  bool check = false;
  double maxGrowthMb = 8.0;
};

// One line of a lead sheet and the tune's key.
struct SheetLine {
  std::string text;
  std::string key;
};

struct MusicData {
  std::vector<std::string> chords;  // every chord token, as written
  std::vector<SheetLine> lines;
};

// The jazz lead sheets: "DBKeySig = F" names the key; lines that start with a blank hold bars.
MusicData readLeadSheets(const std::filesystem::path& folder) {
  MusicData data;
  if (!std::filesystem::is_directory(folder)) return data;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file);
    std::string line;
    std::string key = "C";
    while (std::getline(in, line)) {
      if (line.rfind("DBKeySig = ", 0) == 0) {
        key = line.substr(11);
        while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
        continue;
      }
      if (line.empty() || line[0] != ' ') continue;
      data.lines.push_back({line, key});
      std::istringstream words(line);
      std::string word;
      while (words >> word)
        if (word != "|" && word != "NC") data.chords.push_back(word);
    }
  }
  return data;
}

long statusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return -1;
}

// Builds the next message for the object.
class RequestMix {
 public:
  RequestMix(const MusicData& music, unsigned seed) : music_(music), random_(seed) {}

  // Every "fromJweb" message gets exactly one reply.
  long expectedReplies() const { return requests_; }

  Atoms next() {
    const int pick = uniform(0, 99);
    if (pick < 3) return hostMessage();
    ++requests_;
    std::string type;
    Json payload = requestPayload(pick, type);
    std::string text = payload.dump();
    if (uniform(0, 99) < 8) damage(text);
    return {Atom::symbol("fromJweb"), Atom::symbol(type), Atom::symbol(text)};
  }

 private:
  int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool coin(int percent) { return uniform(0, 99) < percent; }
  template <typename T>
  const T& anyOf(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(uniform(0, static_cast<int>(items.size()) - 1))];
  }
  const std::string& chord() { return anyOf(music_.chords); }

  std::string style() {
    static const std::vector<std::string> styles = {"closed", "shell", "anthem", "split", "guide-color",
                                                    "velmaro", "pop", "drop24", "drop2-4", "nonsense"};
    return anyOf(styles);
  }

  Json key() {
    static const std::vector<std::string> roots = {"C", "G", "D", "A", "E", "B", "F#", "Db", "Ab", "Eb", "Bb", "F"};
    Json key = {{"root", anyOf(roots)}, {"mode", coin(40) ? "minor" : "major"}};
    if (coin(20)) key["minorScaleType"] = "melodic";
    return key;
  }

  std::vector<std::string> run(int length) {
    // consecutive chords of one tune give realistic progressions
    const auto& line = anyOf(music_.lines);
    std::vector<std::string> chords;
    std::istringstream words(line.text);
    std::string word;
    while (words >> word)
      if (word != "|" && word != "NC") chords.push_back(word);
    while (static_cast<int>(chords.size()) < length) chords.push_back(chord());
    chords.resize(static_cast<std::size_t>(length));
    return chords;
  }

  Json requestPayload(int pick, std::string& type) {
    Json p = Json::object();
    if (coin(30)) p["request_id"] = "soak-" + std::to_string(counter_++);
    if (pick < 18) {
      type = "parse_chord";
      p["chord"] = chord();
    } else if (pick < 36) {
      type = "generate_voicing";
      p["chord"] = chord();
      p["style"] = style();
      p["octave"] = uniform(0, 8);
      p["inversion"] = uniform(-1, 4);
      p["drop_bass"] = coin(30);
      p["octave_shift"] = uniform(-4, 5);
    } else if (pick < 48) {
      type = "generate_progression";
      Json slots = Json::array();
      for (const auto& c : run(uniform(1, 8))) {
        Json slot = {{"chord", c}, {"style", style()}, {"octave", uniform(2, 5)}};
        if (coin(20)) slot["inversion"] = uniform(0, 3);
        if (coin(15)) slot["auto_voiced"] = false;
        slots.push_back(slot);
      }
      p["slots"] = slots;
      p["auto_voice_lead"] = coin(40);
      p["include_avl_debug"] = coin(10);
      p["allow_bass_changes"] = coin(30);
      if (coin(50)) p["key"] = key();
      if (coin(20)) p["semitone_transpose"] = uniform(-50, 50);
    } else if (pick < 56) {
      type = "parse_progression";
      const auto& line = anyOf(music_.lines);
      p["progression"] = line.text;
      p["key"] = {{"root", line.key}};
      p["include_intervals"] = coin(50);
    } else if (pick < 62) {
      type = "detect_key";
      p["progression"] = anyOf(music_.lines).text;
    } else if (pick < 68) {
      type = coin(50) ? "transpose_progression" : "recalculate_romans";
      Json chords = Json::array();
      for (const auto& c : run(uniform(1, 8))) chords.push_back(c);
      p["chords"] = chords;
      p["key"] = key();
      p["semitones"] = uniform(-13, 13);
      p["keyLinked"] = coin(70);
      p["oldMode"] = coin(50) ? "major" : "minor";
    } else if (pick < 74) {
      type = "get_diatonic_chords";
      p = key();
      p["diatonicExtension"] = anyOf(std::vector<int>{3, 7, 9, 5});
      p["voicingStyle"] = style();
    } else if (pick < 82) {
      type = "get_suggestions";
      p["key"] = key();
      Json previous = Json::array();
      for (const auto& c : run(uniform(0, 4))) previous.push_back(c);
      p["prevChords"] = previous;
      if (coin(40)) p["nextChord"] = chord();
      p["shuffleMode"] = coin(30);
      p["voicingStyle"] = style();
    } else if (pick < 88) {
      type = "generate_local_progression";
      static const std::vector<std::string> genres = {"Pop + EDM", "Classical", "Rock", "Jazz + Neo Soul"};
      p["genre"] = anyOf(genres);
      p["length"] = uniform(3, 9);
      p["temperature"] = uniform(0, 100) / 100.0;
      p["auto_key"] = coin(50);
    } else if (pick < 94) {
      static const std::vector<std::string> modifiers = {
          "third-major", "third-minor", "third-sus2", "third-sus4", "fifth-flat5", "fifth-sharp5",
          "sixth-6", "seventh-flat7", "seventh-major7", "seventh-dim7", "ninth-add9", "ninth-flat9",
          "ninth-9", "ninth-sharp9", "eleventh-11", "eleventh-sharp11", "thirteenth-13", "slash"};
      p["chord"] = chord();
      if (coin(50)) {
        type = "get_available_modifiers";
        p["voicingStyle"] = style();
      } else {
        type = "apply_modifiers";
        Json list = Json::array();
        for (int i = uniform(0, 3); i > 0; --i) list.push_back(anyOf(modifiers));
        p["modifiers"] = list;
        if (coin(50)) p["style"] = style();
      }
    } else {
      static const std::vector<std::string> listings = {"get_voicing_styles", "get_range_presets",
                                                        "get_rhythm_patterns", "get_supported_qualities",
                                                        "get_version", "ready", "get_relevant_voicings"};
      type = anyOf(listings);
      if (type == "get_relevant_voicings") p["chord"] = chord();
    }
    return p;
  }

  // A few random byte edits: the kind of damage a broken page or patch could send.
  void damage(std::string& text) {
    for (int edits = uniform(1, 4); edits > 0 && !text.empty(); --edits) {
      const auto at = static_cast<std::size_t>(uniform(0, static_cast<int>(text.size()) - 1));
      switch (uniform(0, 3)) {
        case 0: text.erase(at, 1); break;
        case 1: text.insert(at, 1, static_cast<char>(uniform(0, 255))); break;
        case 2: text[at] = static_cast<char>(uniform(0, 255)); break;
        default: text.insert(at, text.substr(at, static_cast<std::size_t>(uniform(1, 16)))); break;
      }
    }
  }

  Atoms hostMessage() {
    switch (uniform(0, 2)) {
      case 0: return {Atom::symbol("bang")};
      case 1: return {Atom::symbol("parse"), Atom::symbol(chord())};
      default: return {Atom::symbol("voicing"), Atom::symbol(style()), Atom::symbol(chord())};
    }
  }

  const MusicData& music_;
  std::mt19937 random_;
  long counter_ = 0;
  long requests_ = 0;
};

bool parseOptions(int argc, char** argv, SoakOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--requests") {
      const char* v = value();
      if (!v || (options.requests = std::strtol(v, nullptr, 10)) <= 0) return false;
    } else if (arg == "--seed") {
      const char* v = value();
      if (!v) return false;
      options.seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
    } else if (arg == "--datasets") {
      const char* v = value();
      if (!v) return false;
      options.datasets = v;
    } else if (arg == "--max-growth-mb") {
      const char* v = value();
      if (!v) return false;
      options.maxGrowthMb = std::strtod(v, nullptr);
    } else if (arg == "--check") {
      options.check = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  SoakOptions options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: tonalweaver_soak [--requests N] [--seed S] [--datasets DIR] [--check] [--max-growth-mb M]\n"
                 "  e.g. tonalweaver_soak --requests 200000 --check\n");
    return 2;
  }
  const MusicData music = readLeadSheets(std::filesystem::path(options.datasets) / "jazz-corpus" / "SongDB");
  if (music.chords.empty() || music.lines.empty()) {
    std::fprintf(stderr, "no lead sheets under %s/jazz-corpus/SongDB\n", options.datasets.c_str());
    return 2;
  }
  std::printf("%zu chords and %zu lines of %s\n", music.chords.size(), music.lines.size(), "jazz lead sheets");

  tw::fuzzing::Violations found;
  tw::fuzzing::OutletTrafficChecker checker(found);
  long replies = 0;
  long noteLists = 0;
  // The object as a host creates it, finding the shipped corpora in its resource folder.
  tw::InMemoryClipboard clipboard("Dm7 G7 Cmaj7");
  tw::ManualTimers timers;
  tw::HeadlessPowerNotifications power;
  tw::ProcessWideState process;
  tw::TonalweaverObject object(
      tw::HostServices{clipboard, timers, power, process, std::string(TONALWEAVER_SOURCE_DIR) + "/data"});
  object.setOutletSink([&](int outlet, const Atoms& message) {
    // A chunked reply counts once, at its first piece (the record's own keys are unescaped).
    if (outlet == 0 && message.size() == 3 && message[0].name() == "toJweb" &&
        (message[1].name() != "__tw_chunk" || message[2].name().find(",\"index\":0,") != std::string::npos))
      ++replies;
    if (outlet == 1) ++noteLists;
    if (options.check) checker.accept(outlet, message);
  });

  RequestMix mix(music, options.seed);
  const long warmUp = options.requests / 10;
  long rssAfterWarmUp = 0;
  long messageCount = 0;
  const auto start = std::chrono::steady_clock::now();
  auto warmStart = start;
  for (long i = 1; i <= options.requests; ++i) {
    const Atoms message = mix.next();
    object.receive(message);
    ++messageCount;
    if (i == warmUp) {
      rssAfterWarmUp = statusKb("VmRSS");
      warmStart = std::chrono::steady_clock::now();
    }
    if (i % (options.requests / 10 > 0 ? options.requests / 10 : 1) == 0) {
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("%9ld requests  %7.1f s  VmRSS %6ld KiB  VmHWM %6ld KiB\n", i, seconds, statusKb("VmRSS"),
                  statusKb("VmHWM"));
      std::fflush(stdout);
    }
    if (options.check && !found.empty()) {
      std::printf("request %ld broke a reply check:", i);
      for (const auto& atom : message) std::printf(" %s", tw::fuzzing::excerpt(tw::atomToText(atom), 400).c_str());
      std::printf("\n");
      break;
    }
  }
  const auto end = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(end - start).count();
  const double steadySeconds = std::chrono::duration<double>(end - warmStart).count();
  const long rssEnd = statusKb("VmRSS");
  const long hwm = statusKb("VmHWM");
  const double growthMb = (rssEnd - rssAfterWarmUp) / 1024.0;
  if (options.check) checker.finish();

  std::printf("\nrequests            %ld (%ld replies, %ld note lists)\n", messageCount, replies, noteLists);
  std::printf("time                %.1f s\n", seconds);
  std::printf("requests per second %.0f overall, %.0f after warm-up\n", messageCount / seconds,
              (messageCount - warmUp) / steadySeconds);
  std::printf("peak memory         %ld KiB (VmHWM)\n", hwm);
  std::printf("memory after warm-up (%ld requests) %ld KiB, at the end %ld KiB: growth %+.2f MiB\n", warmUp,
              rssAfterWarmUp, rssEnd, growthMb);
  int status = 0;
  if (replies != mix.expectedReplies()) {
    std::printf("FAIL: %ld requests were answered %ld times\n", mix.expectedReplies(), replies);
    status = 1;
  }
  if (growthMb > options.maxGrowthMb) {
    std::printf("FAIL: memory grew by more than %.1f MiB after warm-up\n", options.maxGrowthMb);
    status = 1;
  }
  if (options.check) {
    if (!found.empty()) {
      std::printf("FAIL: reply checks:\n%s", found.text().c_str());
      status = 1;
    } else {
      std::printf("reply checks        all held\n");
    }
  }
  return status;
}
