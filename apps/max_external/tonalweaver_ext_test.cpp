// The external against the SDK's mock kernel: the class it registers, every message sent the
// way the host application sends it (through the class's method table), and both outlets
// compared with what `tonalweaver host` answers for the same atoms.
#include "tonalweaver_ext.cpp"  // one object per binary, as the SDK expects

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "apps/command_runner.hpp"
#include "host/reply_reassembly.hpp"

namespace c74::max {
// The mock kernel's log of everything an outlet sent: lists as their atoms, any other
// message with its selector first.
extern "C" std::vector<c74::min::atoms>* object_getoutput(void* object, int outlet);
}  // namespace c74::max

// The mock kernel, like the host, keeps every symbol for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:gensym\n"; }

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace mx = c74::max;

// Loaders that count their calls and succeed as told.
struct LoaderLog {
  int continuationCalls = 0;
  int progressionCalls = 0;
  bool continuationSucceeds = true;
};
LoaderLog loaderLog;
bool countingContinuation(std::span<const std::uint8_t>) {
  ++loaderLog.continuationCalls;
  return loaderLog.continuationSucceeds;
}
bool countingProgression(std::span<const std::uint8_t>) {
  ++loaderLog.progressionCalls;
  return true;
}

// A simulated host process: its clipboard, power source and process-wide state, and the
// thread that counts as its main thread.
struct HostProcess {
  tw::InMemoryClipboard clipboard;
  tw::HeadlessPowerNotifications power;
  tw::ProcessWideState state;
  std::string resources;
  tw::CorpusLoaders loaders = tw::engineCorpusLoaders();
  std::thread::id mainThread = std::this_thread::get_id();

  void install() {
    tw::max_external::surroundings() = {&clipboard, &power, &state, [this] { return resources; }, loaders,
                                        [this] { return std::this_thread::get_id() == mainThread; }};
  }
};

// What registering the class did, recorded once: the SDK builds its dummy instance then.
struct ClassRegistration {
  int loads = 0;
  int powerRegistrations = 0;
};
const ClassRegistration& registerClassOnce() {
  static const ClassRegistration recorded = [] {
    HostProcess process;
    process.resources = TONALWEAVER_RESOURCES_DIR;
    process.loaders = {countingContinuation, countingProgression};
    process.install();
    loaderLog = {};
    ext_main(nullptr);
    return ClassRegistration{loaderLog.continuationCalls + loaderLog.progressionCalls,
                             process.power.registrationsMade()};
  }();
  return recorded;
}

mx::t_atom atomFromJson(const Json& value) {
  mx::t_atom atom{};
  if (value.is_string())
    mx::atom_setsym(&atom, mx::gensym(value.get<std::string>().c_str()));
  else if (value.is_number_integer())
    mx::atom_setlong(&atom, value.get<mx::t_atom_long>());
  else
    mx::atom_setfloat(&atom, value.get<double>());
  return atom;
}

Json jsonFromAtom(const mx::t_atom& atom) {
  switch (atom.a_type) {
    case mx::A_SYM:
      return atom.a_w.w_sym->s_name;
    case mx::A_LONG:
      return atom.a_w.w_long;
    case mx::A_FLOAT:
      return atom.a_w.w_float;
    default:
      return "?";
  }
}

// Methods as the host calls them, looked up in the class's method table.
using ZeroMethod = void (*)(mx::t_object*);
using GimmeMethod = void (*)(mx::t_object*, mx::t_symbol*, long, mx::t_atom*);
using AssistMethod = void (*)(void*, void*, long, long, char*);
template <typename Method>
Method asMethod(mx::method method) {
  return reinterpret_cast<Method>(reinterpret_cast<void (*)()>(method));
}

// One object in a patch, created and freed as the host does it.
class PatchedObject {
 public:
  PatchedObject()
      : maxobj_(reinterpret_cast<mx::t_object*>(
            c74::min::wrapper_new<tonalweaver_ext>(mx::gensym("tonalweaver"), 0, nullptr))) {}
  ~PatchedObject() { mx::object_free(maxobj_); }
  PatchedObject(const PatchedObject&) = delete;
  PatchedObject& operator=(const PatchedObject&) = delete;

  mx::t_object* maxobj() const { return maxobj_; }
  tonalweaver_ext& object() { return reinterpret_cast<c74::min::minwrap<tonalweaver_ext>*>(maxobj_)->m_min_object; }

  // A message whose selector the class declares goes to that method; any other selector
  // goes to "anything", as the host routes it.
  void send(const std::string& selector, std::vector<mx::t_atom> arguments = {}) {
    mx::t_symbol* name = mx::gensym(selector.c_str());
    if (const auto method = mx::zgetfn(maxobj_, name)) {
      if (selector == "bang")
        asMethod<ZeroMethod>(method)(maxobj_);
      else
        asMethod<GimmeMethod>(method)(maxobj_, name, static_cast<long>(arguments.size()), arguments.data());
      return;
    }
    asMethod<GimmeMethod>(mx::zgetfn(maxobj_, mx::gensym("anything")))(
        maxobj_, name, static_cast<long>(arguments.size()), arguments.data());
  }
  void sendJson(const Json& message) {
    std::vector<mx::t_atom> arguments;
    for (std::size_t i = 1; i < message.size(); ++i) arguments.push_back(atomFromJson(message[i]));
    send(message[0].get<std::string>(), arguments);
  }

  // Everything outlet `index` sent so far, each message as a JSON array of its atoms.
  std::vector<Json> sent(int index) const {
    std::vector<Json> messages;
    for (const auto& atoms : *mx::object_getoutput(maxobj_, index)) {
      Json message = Json::array();
      for (const auto& atom : atoms) message.push_back(jsonFromAtom(atom));
      messages.push_back(std::move(message));
    }
    return messages;
  }

 private:
  mx::t_object* maxobj_;
};

class ExternalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerClassOnce();
    process.resources = TONALWEAVER_RESOURCES_DIR;
    process.install();
  }
  HostProcess process;
};

// What `tonalweaver host` sends for the same messages, per outlet.
std::array<std::vector<Json>, 2> hostAnswers(const std::vector<Json>& messages) {
  std::string input;
  for (const auto& message : messages) input += message.dump() + "\n";
  const auto run = tw::testing::runTonalweaver(
      "host --clipboard memory --resources '" + std::string(TONALWEAVER_RESOURCES_DIR) + "'", input);
  EXPECT_EQ(run.status, 0) << run.out;
  std::array<std::vector<Json>, 2> answers;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const Json sent = Json::parse(line);
    answers.at(sent.at("outlet").get<std::size_t>()).push_back(sent.at("atoms"));
  }
  return answers;
}

TEST_F(ExternalTest, RegistersTheClassFromTheRegistrationData) {
  EXPECT_EQ(registerClassOnce().loads, 0) << "the dummy instance loaded corpora";
  EXPECT_EQ(registerClassOnce().powerRegistrations, 0) << "the dummy instance registered for power events";
  const auto& registration = tw::tonalweaverRegistration();
  EXPECT_STREQ(tonalweaver_ext::class_description, registration.digest.data());
  EXPECT_STREQ(tonalweaver_ext::class_tags, registration.tags.data());

  PatchedObject patched;
  EXPECT_EQ(std::string(mx::object_classname(patched.maxobj())->s_name), registration.className);
  for (const auto& message : registration.messages)
    EXPECT_NE(mx::zgetfn(patched.maxobj(), mx::gensym(std::string(message.name).c_str())), nullptr)
        << message.name;
  const auto assist = asMethod<AssistMethod>(mx::zgetfn(patched.maxobj(), mx::gensym("assist")));
  std::array<char, 512> text{};
  assist(patched.maxobj(), nullptr, 1, 0, text.data());
  EXPECT_EQ(std::string(text.data()), registration.inlet.assist);
  for (long outlet = 0; outlet < 2; ++outlet) {
    assist(patched.maxobj(), nullptr, 2, outlet, text.data());
    EXPECT_EQ(std::string(text.data()), registration.outlets[static_cast<std::size_t>(outlet)].assist);
  }
}

// Every message form the object answers, sent to the external and to the command alike.
const std::vector<Json>& patchMessages() {
  static const std::vector<Json> messages = [] {
    std::vector<Json> all = {
        {"bang"},
        {"bang", 9, "extra"},
        {"parse", "Bbdim"},
        {"parse", "Bb7"},
        {"parse", "C7/E", "ignored"},
        {"parse", "Hx"},
        {"parse", 7},
        {"parse"},
        {"voicing", "closed", "Cmaj7"},
        {"voicing", "anthem", "F#m7b5"},
        {"voicing", "no-such-style", "G7"},
        {"voicing", "closed"},
        {"voicing", 3.5, 2},
        {"fromJweb", "url", "{}"},
        {"fromJweb", "onload", "{}"},
        {"fromJweb", "parse_chord"},
        {"fromJweb", "message", "{}"},
        {"fromJweb", "parse_chord", R"({"chord":"Cm7","request_id":"r1"})", "ignored"},
        {"fromJweb", "generate_voicing", R"({"chord":"Dm9","style":"velmaro","octave":3})"},
        {"fromJweb", "generate_progression",
         R"({"slots":[{"chord":"Dm7","style":"anthem"},{"chord":"G7","style":"anthem"},{"chord":"Cmaj7","style":"anthem"}],"auto_voice_lead":true})"},
        {"fromJweb", "generate_local_progression", R"({"genre":"Jazz + Neo Soul","key":{"root":"H"}})"},
        {"fromJweb", "parse_progression", R"({"text":"ii7 V7 Imaj7","key":{"root":"Eb","mode":"major"}})"},
        {"fromJweb", "detect_key", R"({"chords":["Dm7","G7","Cmaj7","Am7"]})"},
        {"fromJweb", "get_diatonic_chords", R"({"key":{"root":"A","mode":"minor"}})"},
        {"fromJweb", "get_voicing_styles", "{}"},
        {"fromJweb", "get_relevant_voicings", R"({"chord":"C13"})"},
        {"fromJweb", "get_range_presets", "{}"},
        {"fromJweb", "get_rhythm_patterns", "{}"},
        {"fromJweb", "get_supported_qualities", "{}"},
        {"fromJweb", "transpose_progression", R"({"chords":["Dm7","G7"],"semitones":3})"},
        {"fromJweb", "recalculate_romans",
         R"({"chords":["Cmaj7","Am7"],"key":{"root":"C","mode":"minor"},"oldMode":"major","keyLinked":true})"},
        {"fromJweb", "get_available_modifiers", R"({"chord":"C7"})"},
        {"fromJweb", "apply_modifiers", R"({"chord":"C7","modifiers":["b9"]})"},
        {"fromJweb", "get_suggestions", R"({"chords":["Dm7","G7"],"key":{"root":"C","mode":"major"}})"},
        {"fromJweb", "get_version", "{}"},
        {"fromJweb", "write_clipboard", R"({"text":"  Dm7 G7 Cmaj7 \n"})"},
        {"fromJweb", "read_clipboard", "{}"},
        {"fromJweb", "ready", R"({"type":"ready","payload":{},"request_id":"a1"})"},
        {"fromJweb", "no_such_request", "{}"},
        {"fromJweb", "parse_chord", "{not json"},
        {R"({"type":"get_version","request_id":"q"})"},
        {R"("{"type":"parse_chord","payload":{"chord":"E7#9"}}")"},
        {"{}"},
        {"loaded"},
        {"hello", "world"},
        {"parse_chord"},
        {"get_version"},
        {"get_range_presets", "{}", "ignored"},
    };
    // Each request type as a message of its own, with and without its JSON text.
    // (Generation draws on a random source, so only its failures can be compared.)
    for (auto type : tw::requestMessageTypes()) {
      all.push_back({std::string(type), type == "generate_local_progression"
                                            ? R"({"key":{"root":"H"}})"
                                            : R"({"chord":"A7b9","chords":["A7b9","Dm"],"text":"A7b9 Dm"})"});
      all.push_back({std::string(type)});
    }
    return all;
  }();
  return messages;
}

TEST_F(ExternalTest, AnswersEveryMessageAsTheHeadlessHostDoes) {
  PatchedObject patched;
  for (const auto& message : patchMessages()) patched.sendJson(message);
  const auto expected = hostAnswers(patchMessages());
  const auto replies = patched.sent(0);
  ASSERT_EQ(replies.size(), expected[0].size());
  for (std::size_t i = 0; i < replies.size(); ++i) EXPECT_EQ(replies[i].dump(), expected[0][i].dump()) << i;
  EXPECT_EQ(patched.sent(1), expected[1]);

  // The long reply went out in pieces that join into one envelope.
  tw::ReplyReassembler reassembler;
  int pieces = 0;
  for (const auto& reply : replies) {
    if (reply[1] == "__tw_chunk") ++pieces;
    tw::Atoms atoms;
    for (const auto& atom : reply) atoms.push_back(tw::Atom::symbol(atom.get<std::string>()));
    EXPECT_FALSE(reassembler.accept(atoms).error);
  }
  EXPECT_GT(pieces, 1);
}

TEST_F(ExternalTest, PlainPatchMessages) {
  PatchedObject patched;
  patched.sendJson({"bang"});
  patched.sendJson({"parse", "Bbdim"});
  patched.sendJson({"parse", "Bb7"});
  patched.sendJson({"voicing", "closed", "Cmaj7"});
  patched.sendJson({"voicing", "closed"});
  EXPECT_EQ(patched.sent(1), (std::vector<Json>{{60, 64, 67}, {60, 64, 67, 71}}));
  EXPECT_EQ(patched.sent(0), (std::vector<Json>{{"Bb", "dim"}, {"A#", "7"}}));
}

TEST_F(ExternalTest, PageEventsAndUnreadableMessagesSendNothing) {
  PatchedObject patched;
  for (const char* event : {"onloadstart", "onloadend", "onload", "url", "title", "loading", "loaded"})
    patched.sendJson({"fromJweb", event, R"({"type":"get_version"})"});
  for (const char* selector : {"{}", "url", "title", "onload", "loaded", "loading", "onloadend", "onloadstart"})
    patched.sendJson({selector});
  patched.sendJson({"fromJweb", "get_version"});
  patched.sendJson({"parse_chord"});
  // Atoms a patch can carry but JSON lines cannot: an object reference, a semicolon.
  mx::t_atom object{};
  mx::atom_setobj(&object, patched.maxobj());
  mx::t_atom semicolon{};
  semicolon.a_type = mx::A_SEMI;
  patched.send("parse", {object});
  patched.send("voicing", {semicolon, object});
  EXPECT_TRUE(patched.sent(0).empty());
  EXPECT_TRUE(patched.sent(1).empty());
  patched.send("fromJweb", {object, atomFromJson("{}")});  // the class name is the request type
  ASSERT_EQ(patched.sent(0).size(), 1u);
  EXPECT_NE(patched.sent(0)[0][2].get<std::string>().find("Unknown request type"), std::string::npos);
}

TEST_F(ExternalTest, CorporaLoadFromTheResourceFolderAndRetryAfterAFailure) {
  const auto folder = std::filesystem::temp_directory_path() / ("tw-external-resources-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "cc.bin") << "continuations";
  std::ofstream(folder / "pc.bin") << "progressions";
  process.resources = folder.string();
  process.loaders = {countingContinuation, countingProgression};
  process.install();
  loaderLog = {};
  loaderLog.continuationSucceeds = false;
  {
    PatchedObject first;
    EXPECT_EQ(loaderLog.continuationCalls, 1);
    EXPECT_EQ(loaderLog.progressionCalls, 1);
    EXPECT_FALSE(process.state.corporaLoaded);
  }
  loaderLog.continuationSucceeds = true;
  PatchedObject second;  // tries again, and this time the corpora load
  EXPECT_TRUE(process.state.corporaLoaded);
  PatchedObject third;
  EXPECT_EQ(loaderLog.continuationCalls, 2);
  EXPECT_EQ(loaderLog.progressionCalls, 2);
  std::filesystem::remove_all(folder);
}

// Waits for something posted from another thread to reach the main thread's queue.
bool waitForPending(tonalweaver_ext& object, std::size_t count) {
  for (int i = 0; i < 500 && object.mainThreadTasks().pending() < count; ++i) std::this_thread::sleep_for(10ms);
  return object.mainThreadTasks().pending() >= count;
}

TEST_F(ExternalTest, WakeNoticeThroughTheHostClock) {
  PatchedObject patched;
  EXPECT_EQ(process.power.registrationsMade(), 1);
  PatchedObject second;  // only the first object in a process listens
  EXPECT_EQ(process.power.registrationsMade(), 1);
  const auto raisedAt = std::chrono::steady_clock::now();
  process.power.raise(tw::PowerEvent::SystemHasPoweredOn);
  // The clock fires on its own thread; the notice is sent from the main thread.
  ASSERT_TRUE(waitForPending(patched.object(), 1));
  EXPECT_GE(std::chrono::steady_clock::now() - raisedAt, 490ms);
  EXPECT_TRUE(patched.sent(0).empty());
  patched.object().mainThreadTasks().drain();
  EXPECT_EQ(patched.sent(0), (std::vector<Json>{{"toBridge", "system_wake", "{}"},
                                                {"toJweb", "system_wake",
                                                 R"({"ok":true,"payload":{},"type":"system_wake"})"}}));
  process.power.raise(tw::PowerEvent::SystemWillSleep, 42);
  EXPECT_EQ(process.power.allowedChanges(), std::vector<long>{42});
}

TEST_F(ExternalTest, TeardownWithAnArmedClock) {
  {
    PatchedObject patched;
    process.power.raise(tw::PowerEvent::SystemHasPoweredOn);
  }  // freed while its clock is armed: the clock is stopped, the registration removed
  EXPECT_EQ(process.power.liveRegistrations(), 0u);
  std::this_thread::sleep_for(700ms);  // had the clock survived, it would fire into freed memory now
  PatchedObject later;
  EXPECT_EQ(process.power.registrationsMade(), 1);
}

TEST_F(ExternalTest, MessagesFromAnotherThreadWaitForTheMainThread) {
  PatchedObject patched;
  std::thread scheduler([&] {
    patched.sendJson({"voicing", "closed", "Cmaj7"});
    patched.sendJson({"fromJweb", "parse_chord", R"({"chord":"Cm7"})"});
  });
  scheduler.join();
  EXPECT_TRUE(patched.sent(0).empty());
  EXPECT_TRUE(patched.sent(1).empty());
  EXPECT_EQ(patched.object().mainThreadTasks().pending(), 2u);
  patched.object().mainThreadTasks().drain();  // what the host's queue does on its main thread
  EXPECT_EQ(patched.sent(1), (std::vector<Json>{{60, 64, 67, 71}}));
  ASSERT_EQ(patched.sent(0).size(), 1u);
  EXPECT_EQ(patched.sent(0)[0][1], "parse_result");
}

}  // namespace
