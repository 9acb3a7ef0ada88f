// The host object: registration, the plain patch messages, request messages through its
// inlet, corpus loading at creation, and the wake announcement.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "chord/chord_parser.hpp"
#include "host/tonalweaver_object.hpp"
#include "host_test_support.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {
namespace {

using namespace std::chrono_literals;
using testing::OutletRecorder;
using testing::symbols;

// Loaders that count their calls and succeed as told.
struct LoaderLog {
  int continuationCalls = 0;
  int progressionCalls = 0;
  std::size_t continuationBytes = 0;
  bool continuationSucceeds = true;
};
LoaderLog loaderLog;

bool countingContinuation(std::span<const std::uint8_t> bytes) {
  ++loaderLog.continuationCalls;
  loaderLog.continuationBytes = bytes.size();
  return loaderLog.continuationSucceeds;
}
bool countingProgression(std::span<const std::uint8_t>) {
  ++loaderLog.progressionCalls;
  return true;
}

// One simulated host process.
struct Process {
  InMemoryClipboard clipboard;
  ManualTimers timers;
  HeadlessPowerNotifications power;
  ProcessWideState state;

  std::unique_ptr<TonalweaverObject> create(std::string resourceFolder = {}) {
    return std::make_unique<TonalweaverObject>(HostServices{clipboard, timers, power, state,
                                                            std::move(resourceFolder),
                                                            {countingContinuation, countingProgression}});
  }
};

struct Patch {
  Process process;
  OutletRecorder recorder;
  std::unique_ptr<TonalweaverObject> object;
  Patch() : object(process.create()) { object->setOutletSink(recorder.sink()); }
  void send(const Atoms& message) { object->receive(message); }
  std::vector<Json> envelopes() const { return testing::envelopesFrom(recorder.sent); }
};

Atoms ints(std::vector<int> values) {
  Atoms atoms;
  for (int v : values) atoms.push_back(Atom::integer(v));
  return atoms;
}

TEST(Registration, DescribesTheObject) {
  const auto& registration = tonalweaverRegistration();
  EXPECT_EQ(registration.className, "tonalweaver");
  EXPECT_EQ(registration.tags, "harmony, chords, midi");
  EXPECT_EQ(registration.digest, "Tonalweaver chord engine");
  Patch patch;
  EXPECT_EQ(patch.object->assist(true, 0), "(anything) messages from jweb");
  EXPECT_EQ(patch.object->assist(false, 0), "(anything) messages to jweb");
  EXPECT_EQ(patch.object->assist(false, 1), "(list) MIDI notes");
  EXPECT_EQ(patch.object->assist(false, 2), "");
  EXPECT_EQ(patch.object->outletCount(), 2u);
  EXPECT_EQ(patch.object->outlet(1).type(), "list");
}

TEST(Registration, MessagesInDeclarationOrder) {
  Patch patch;
  const auto& names = patch.object->messageNames();
  ASSERT_EQ(names.size(), 23u);
  EXPECT_EQ(names[0], "bang");
  EXPECT_EQ(names[1], "parse");
  EXPECT_EQ(names[2], "voicing");
  EXPECT_EQ(names[3], "fromJweb");
  EXPECT_EQ(names[4], "generate_progression");
  EXPECT_EQ(names[21], "get_version");
  EXPECT_EQ(names[22], "anything");
  const auto& declared = tonalweaverRegistration().messages;
  ASSERT_EQ(declared.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(declared[i].name, names[i]);
}

TEST(Bang, SendsACMajorTriadOnOutletOne) {
  Patch patch;
  patch.send(symbols({"bang"}));
  patch.send(Atoms{Atom::symbol("bang"), Atom::integer(9), Atom::symbol("x")});
  ASSERT_EQ(patch.recorder.sent.size(), 2u);
  for (const auto& sent : patch.recorder.sent) {
    EXPECT_EQ(sent.outlet, 1);
    EXPECT_EQ(sent.atoms, ints({60, 64, 67}));
  }
}

struct ParseCase {
  const char* symbol;
  std::vector<const char*> list;  // empty: nothing is sent
};
std::ostream& operator<<(std::ostream& out, const ParseCase& c) { return out << c.symbol; }

class ParseMessage : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseMessage, ReportsRootQualityAndBass) {
  Patch patch;
  patch.send(Atoms{Atom::symbol("parse"), Atom::symbol(GetParam().symbol)});
  if (GetParam().list.empty()) {
    EXPECT_TRUE(patch.recorder.sent.empty());
    return;
  }
  ASSERT_EQ(patch.recorder.sent.size(), 1u);
  EXPECT_EQ(patch.recorder.sent[0].outlet, 0);
  Atoms expected;
  for (const char* name : GetParam().list) expected.push_back(Atom::symbol(name));
  // The quality text is whatever canonical symbol the parser names.
  const auto parsed = parseChordSymbol(GetParam().symbol);
  ASSERT_TRUE(parsed);
  expected[1] = Atom::symbol(parsed->quality);
  EXPECT_EQ(patch.recorder.sent[0].atoms, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Chords, ParseMessage,
    ::testing::Values(ParseCase{"Bbdim", {"Bb", "dim"}}, ParseCase{"Bb7", {"A#", "7"}},
                      ParseCase{"Bbm7b5", {"Bb", "m7b5"}}, ParseCase{"C", {"C", "maj"}},
                      ParseCase{"Ebm", {"D#", "m"}}, ParseCase{"C/E", {"C", "maj", "E"}},
                      ParseCase{"Gbdim/Bbb", {"Gb", "dim", "A"}}, ParseCase{"Dbmaj7/Ab", {"C#", "maj7", "G#"}},
                      ParseCase{"H7", {}}, ParseCase{"", {}}, ParseCase{"not a chord", {}}));

TEST(ParseMessageEdges, NeedsAnArgumentAndIgnoresExtras) {
  Patch patch;
  patch.send(symbols({"parse"}));
  EXPECT_TRUE(patch.recorder.sent.empty());
  patch.send(symbols({"parse", "F", "G"}));
  ASSERT_EQ(patch.recorder.sent.size(), 1u);
  EXPECT_EQ(patch.recorder.sent[0].atoms[0], Atom::symbol("F"));
  patch.send(Atoms{Atom::symbol("parse"), Atom::integer(7)});
  patch.send(Atoms{Atom::symbol("parse"), Atom::real(1.5)});
  EXPECT_EQ(patch.recorder.sent.size(), 1u);
}

std::vector<int> expectedVoicing(VoicingStyle style, const char* symbol) {
  const auto chord = parseChordSymbol(symbol);
  return voiceChord(*chord, style, 4, VoicingOptions{});
}

TEST(VoicingMessage, VoicesInOctaveFourOnOutletOne) {
  Patch patch;
  patch.send(symbols({"voicing", "closed", "Cmaj7"}));
  ASSERT_EQ(patch.recorder.sent.size(), 1u);
  EXPECT_EQ(patch.recorder.sent[0].outlet, 1);
  const auto notes = expectedVoicing(0, "Cmaj7");
  EXPECT_EQ(patch.recorder.sent[0].atoms, ints(notes));
  ASSERT_FALSE(notes.empty());
  EXPECT_TRUE(std::is_sorted(notes.begin(), notes.end()));
}

TEST(VoicingMessage, StyleNamesAndAliases) {
  Patch patch;
  patch.send(symbols({"voicing", "pop", "Am7"}));
  patch.send(symbols({"voicing", "drop2-4", "Am7"}));
  patch.send(symbols({"voicing", "no-such-style", "Am7"}));
  patch.send(symbols({"voicing", "Closed", "Am7"}));
  ASSERT_EQ(patch.recorder.sent.size(), 4u);
  EXPECT_EQ(patch.recorder.sent[0].atoms, ints(expectedVoicing(2, "Am7")));
  EXPECT_EQ(patch.recorder.sent[1].atoms, ints(expectedVoicing(3, "Am7")));
  EXPECT_EQ(patch.recorder.sent[2].atoms, ints(expectedVoicing(0, "Am7")));
  EXPECT_EQ(patch.recorder.sent[3].atoms, ints(expectedVoicing(0, "Am7")));
}

TEST(VoicingMessage, OneArgumentOrABadChordDoesNothing) {
  Patch patch;
  patch.send(symbols({"voicing", "Cmaj7"}));
  patch.send(symbols({"voicing"}));
  patch.send(symbols({"voicing", "closed", "Zq"}));
  patch.send(Atoms{Atom::symbol("voicing"), Atom::integer(1), Atom::integer(2)});
  EXPECT_TRUE(patch.recorder.sent.empty());
}

TEST(VoicingMessage, EveryStyleOnEveryRootStaysInMidiRange) {
  Patch patch;
  for (const char* style : {"closed", "shell", "anthem", "split", "guide-color", "velmaro"})
    for (const char* chord : {"C", "F#m7", "Bb13#11", "Ebm7b5/A", "G7alt", "Dsus4"})
      patch.send(symbols({"voicing", style, chord}));
  for (const auto& sent : patch.recorder.sent) {
    EXPECT_EQ(sent.outlet, 1);
    for (const auto& atom : sent.atoms) {
      ASSERT_EQ(atom.kind(), AtomKind::Int);
      EXPECT_GE(atom.intValue(), 0);
      EXPECT_LE(atom.intValue(), 127);
    }
  }
}

TEST(ObjectRequests, ReachTheDispatcher) {
  Patch patch;
  patch.send(symbols({"fromJweb", "get_version", R"({"request_id":"f"})"}));
  patch.send(symbols({"get_version"}));
  patch.send(symbols({"parse_chord"}));
  patch.send(symbols({"fromJweb", "url", "{}"}));
  patch.send(symbols({"ready"}));  // no message of its own, and not JSON
  patch.send(symbols({R"({"type":"ready","request_id":"u"})"}));
  const auto envelopes = patch.envelopes();
  ASSERT_EQ(envelopes.size(), 3u);
  EXPECT_EQ(envelopes[0]["request_id"], "f");
  EXPECT_EQ(envelopes[1]["type"], "version");
  EXPECT_EQ(envelopes[2]["type"], "ready_ack");
  EXPECT_EQ(envelopes[2]["request_id"], "u");
}

TEST(ObjectRequests, ParseChordThroughEveryPath) {
  Patch patch;
  patch.send(symbols({"parse_chord", R"({"chord":"Cm7","request_id":"a"})"}));
  patch.send(symbols({"fromJweb", "parse_chord", R"({"type":"parse_chord","payload":{"chord":"Cm7"},"request_id":"b"})"}));
  patch.send(symbols({R"({"type":"parse_chord","chord":"Cm7","request_id":"c"})"}));
  const auto envelopes = patch.envelopes();
  ASSERT_EQ(envelopes.size(), 3u);
  for (const auto& envelope : envelopes) {
    EXPECT_EQ(envelope["type"], "parse_result") << envelope.dump();
    EXPECT_EQ(envelope["ok"], true);
  }
}

TEST(ObjectRequests, SupportedQualitiesArriveChunkedAndReassemble) {
  Patch patch;
  patch.send(symbols({"get_supported_qualities"}));
  ASSERT_GT(patch.recorder.sent.size(), 1u);
  const auto envelopes = patch.envelopes();
  ASSERT_EQ(envelopes.size(), 1u);
  EXPECT_EQ(envelopes[0]["type"], "supported_qualities");
}

TEST(ObjectRequests, TextlessRequestTypesThatMayOmitTextAnswer) {
  Patch patch;
  for (const char* type : {"get_supported_qualities", "get_voicing_styles", "get_relevant_voicings",
                           "get_range_presets", "get_rhythm_patterns", "get_version"})
    patch.send(symbols({type}));
  EXPECT_EQ(patch.envelopes().size(), 6u);
  Patch silent;
  for (auto type : requestMessageTypes())
    if (!requestMessageMayOmitText(type)) silent.send(Atoms{Atom::symbol(std::string(type))});
  EXPECT_TRUE(silent.recorder.sent.empty());
}

class ResourceFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    loaderLog = LoaderLog{};
    folder_ = std::filesystem::temp_directory_path() /
              ("tw-resources-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void write(const char* name, std::size_t bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << std::string(bytes, 'c');
  }
  std::string folder() const { return folder_.string(); }

  std::filesystem::path folder_;
};

TEST_F(ResourceFolder, FirstObjectLoadsBothCorporaOnce) {
  write("cc.bin", 10);
  write("pc.bin", 20);
  Process process;
  auto first = process.create(folder());
  EXPECT_EQ(loaderLog.continuationCalls, 1);
  EXPECT_EQ(loaderLog.progressionCalls, 1);
  EXPECT_EQ(loaderLog.continuationBytes, 10u);
  EXPECT_TRUE(process.state.corporaLoaded);
  auto second = process.create(folder());
  EXPECT_EQ(loaderLog.continuationCalls, 1);
  EXPECT_EQ(loaderLog.progressionCalls, 1);
}

TEST_F(ResourceFolder, AFailedContinuationLoadIsRetriedByTheNextObject) {
  write("cc.bin", 3);
  write("pc.bin", 3);
  loaderLog.continuationSucceeds = false;
  Process process;
  auto first = process.create(folder());
  EXPECT_FALSE(process.state.corporaLoaded);
  loaderLog.continuationSucceeds = true;
  auto second = process.create(folder());
  EXPECT_EQ(loaderLog.continuationCalls, 2);
  EXPECT_EQ(loaderLog.progressionCalls, 2);
  EXPECT_TRUE(process.state.corporaLoaded);
}

TEST_F(ResourceFolder, MissingFilesAreSkippedQuietly) {
  write("pc.bin", 5);
  Process process;
  auto object = process.create(folder());
  EXPECT_EQ(loaderLog.continuationCalls, 0);
  EXPECT_EQ(loaderLog.progressionCalls, 1);
  EXPECT_FALSE(process.state.corporaLoaded);
}

TEST_F(ResourceFolder, NoFolderNoLoading) {
  write("cc.bin", 5);
  Process process;
  auto unknown = process.create("");
  auto missing = process.create(folder() + "/absent");
  EXPECT_EQ(loaderLog.continuationCalls, 0);
  EXPECT_EQ(loaderLog.progressionCalls, 0);
}

TEST(BundleFolder, CutsAfterTheFirstBundleComponent) {
  EXPECT_EQ(bundleResourceFolder("/Users/a/Max 8/Packages/tw/externals/tonalweaver.mxo/Contents/MacOS/tonalweaver"),
            "/Users/a/Max 8/Packages/tw/externals/tonalweaver.mxo/Contents/Resources");
  EXPECT_EQ(bundleResourceFolder("/x/outer.mxo/inner.mxo/bin"), "/x/outer.mxo/Contents/Resources");
  EXPECT_EQ(bundleResourceFolder("/x/a.mxob/c.mxo/bin"), "/x/a.mxob/c.mxo/Contents/Resources");
  EXPECT_EQ(bundleResourceFolder("/x/tonalweaver.mxo"), "");
  EXPECT_EQ(bundleResourceFolder("/usr/lib/libtonalweaver.so"), "");
  EXPECT_EQ(bundleResourceFolder(""), "");
  EXPECT_EQ(bundleResourceFolder(".mxo/"), ".mxo/Contents/Resources");
}

TEST(BundleFolder, OwnModuleOutsideABundleHasNoFolder) {
  EXPECT_EQ(ownBundleResourceFolder(), "");
}

TEST(Wake, OnlyTheFirstObjectRegisters) {
  Process process;
  auto first = process.create();
  auto second = process.create();
  EXPECT_EQ(process.power.registrationsMade(), 1);
  EXPECT_TRUE(first->announcesWakes());
  EXPECT_FALSE(second->announcesWakes());
  EXPECT_TRUE(process.state.wakeNotifierStarted);
}

TEST(Wake, AnnouncedFiveHundredMillisecondsAfterPowerOn) {
  Process process;
  OutletRecorder recorder;
  auto object = process.create();
  object->setOutletSink(recorder.sink());
  process.power.raise(PowerEvent::SystemHasPoweredOn);
  process.timers.advance(499ms);
  EXPECT_TRUE(recorder.sent.empty());
  process.timers.advance(1ms);
  ASSERT_EQ(recorder.sent.size(), 2u);
  EXPECT_EQ(recorder.sent[0].outlet, 0);
  EXPECT_EQ(recorder.sent[0].atoms, symbols({"toBridge", "system_wake", "{}"}));
  EXPECT_EQ(recorder.sent[1].atoms,
            symbols({"toJweb", "system_wake", R"({"ok":true,"payload":{},"type":"system_wake"})"}));
  process.timers.advance(10s);
  EXPECT_EQ(recorder.sent.size(), 2u);
}

TEST(Wake, SleepIsAllowedAtOnceAndOtherEventsIgnored) {
  Process process;
  OutletRecorder recorder;
  auto object = process.create();
  object->setOutletSink(recorder.sink());
  process.power.raise(PowerEvent::CanSystemSleep, 11);
  process.power.raise(PowerEvent::SystemWillSleep, 12);
  process.power.raise(PowerEvent::Other, 13);
  process.timers.advance(5s);
  EXPECT_EQ(process.power.allowedChanges(), (std::vector<long>{11, 12}));
  EXPECT_TRUE(recorder.sent.empty());
}

TEST(Wake, RepeatedPowerOnsWithinTheDelayAnnounceOnce) {
  Process process;
  OutletRecorder recorder;
  auto object = process.create();
  object->setOutletSink(recorder.sink());
  process.power.raise(PowerEvent::SystemHasPoweredOn);
  process.timers.advance(300ms);
  process.power.raise(PowerEvent::SystemHasPoweredOn);
  process.timers.advance(300ms);
  EXPECT_TRUE(recorder.sent.empty());
  process.timers.advance(200ms);
  EXPECT_EQ(recorder.sent.size(), 2u);
}

TEST(Wake, TeardownDeregistersAndNoOneTakesOver) {
  Process process;
  auto first = process.create();
  auto second = process.create();
  OutletRecorder recorder;
  second->setOutletSink(recorder.sink());
  process.power.raise(PowerEvent::SystemHasPoweredOn);
  first.reset();  // its pending announcement dies with it
  EXPECT_EQ(process.power.liveRegistrations(), 0u);
  process.timers.advance(1s);
  process.power.raise(PowerEvent::SystemHasPoweredOn);
  process.timers.advance(1s);
  auto third = process.create();
  EXPECT_EQ(process.power.registrationsMade(), 1);
  EXPECT_TRUE(recorder.sent.empty());
  EXPECT_EQ(process.timers.pendingTimers(), 0u);
}

TEST(Wake, RefusedRegistrationLeavesTheObjectWorking) {
  Process process;
  process.power.refuseRegistrations(true);
  Patch patch;
  auto object = process.create();
  EXPECT_FALSE(object->announcesWakes());
  OutletRecorder recorder;
  object->setOutletSink(recorder.sink());
  object->receive(symbols({"bang"}));
  EXPECT_EQ(recorder.sent.size(), 1u);
}

// A main thread the test switches away from: messages and wake announcements that arrive
// "elsewhere" wait in the queue until the test drains it, as the host's main thread would.
struct SwitchableMainThread {
  bool onMain = true;
  int drainRequests = 0;
  DeferredTasks tasks{[this] { return onMain; }, [this] { ++drainRequests; }};
};

TEST(MainThreadDeferral, MessagesFromOtherThreadsRunLaterInOrder) {
  Process process;
  SwitchableMainThread main;
  OutletRecorder recorder;
  auto object = std::make_unique<TonalweaverObject>(HostServices{
      process.clipboard, process.timers, process.power, process.state, {}, {}, &main.tasks});
  object->setOutletSink(recorder.sink());
  main.onMain = false;
  {
    Atoms message{Atom::symbol("voicing"), Atom::symbol("closed"), Atom::symbol("Cmaj7")};
    object->receive(message);  // the caller's atoms go away before the message runs
  }
  object->receive(symbols({"bang"}));
  process.power.raise(PowerEvent::SystemHasPoweredOn);
  process.timers.advance(500ms);  // the timer fires off the main thread too
  EXPECT_TRUE(recorder.sent.empty());
  EXPECT_EQ(main.tasks.pending(), 3u);
  EXPECT_EQ(main.drainRequests, 3);
  main.onMain = true;
  main.tasks.drain();
  ASSERT_EQ(recorder.sent.size(), 4u);
  EXPECT_EQ(recorder.sent[0].atoms, ints({60, 64, 67, 71}));
  EXPECT_EQ(recorder.sent[1].atoms, ints({60, 64, 67}));
  EXPECT_EQ(recorder.sent[2].atoms, symbols({"toBridge", "system_wake", "{}"}));
  object->receive(symbols({"bang"}));  // on the main thread: at once
  EXPECT_EQ(recorder.sent.size(), 5u);
}

TEST(MainThreadDeferral, DiscardedTasksNeverRun) {
  SwitchableMainThread main;
  main.onMain = false;
  int ran = 0;
  main.tasks.post([&] { ++ran; });
  main.tasks.post([] { throw std::runtime_error("a failing task"); });
  main.tasks.post([&] { ++ran; });
  main.tasks.drain();  // the throwing task is dropped, the others run
  EXPECT_EQ(ran, 2);
  main.tasks.post([&] { ++ran; });
  main.tasks.discard();
  main.tasks.drain();
  EXPECT_EQ(ran, 2);
}

}  // namespace
}  // namespace tw
