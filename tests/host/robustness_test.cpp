// Thousands of mutated host messages through one object: every answer must be a
// well-formed envelope (chunk series included), MIDI lists must be in range, and requests
// that must be answered are answered exactly once.
#include <gtest/gtest.h>

#include <random>

#include "host/reply_reassembly.hpp"
#include "host/tonalweaver_object.hpp"
#include "host_test_support.hpp"

namespace tw {
namespace {

const std::vector<std::string> kSeedTexts{
    R"({"chord":"Cm7","request_id":"r1"})",
    R"({"type":"parse_chord","payload":{"chord":"F#7b9/C#"},"request_id":"r2"})",
    R"({"type":"get_version"})",
    R"({"type":"ready","payload":{},"request_id":"a1"})",
    R"({"chord":"G7","style":"closed","octave":4,"inversion":1})",
    R"({"slots":[{"chord":"Dm7"},{"chord":"G7"}],"style":"closed"})",
    R"({"progression":"C Am F G","key":{"root":"C","mode":"major"}})",
    R"({"intervals":[0,4,7,10]})",
    R"({"chord":"C","modifiers":["b9"]})",
    R"({"mode":"minor"})",
    R"({"text":"hello"})",
    R"({"key":"C","mode":"major"})",
    R"({"request_id":[1,{"x":null}],"type":"get_version"})",
    R"({"chords":["C","G","Am","F"]})",
    R"({"genre":"pop","length":4})",
    "{}",
    "",
};

const std::vector<std::string> kSelectors{
    "fromJweb", "bang", "parse", "voicing", "parse_chord", "get_version", "get_supported_qualities",
    "generate_voicing", "get_voicing_styles", "get_relevant_voicings", "get_range_presets",
    "get_rhythm_patterns", "detect_key", "parse_progression", "apply_modifiers",
    "get_available_modifiers", "get_diatonic_chords", "transpose_progression", "recalculate_romans",
    "url", "loaded", "ready", "list", "int", "anything"};

const std::vector<std::string> kTypes{
    "parse_chord", "get_version", "ready", "read_clipboard", "write_clipboard", "generate_voicing",
    "get_voicing_styles", "get_relevant_voicings", "get_range_presets", "detect_key",
    "parse_progression", "transpose_progression", "recalculate_romans", "get_available_modifiers",
    "apply_modifiers", "get_diatonic_chords", "get_rhythm_patterns", "onload", "title", "message", "",
    "Parse_Chord", "\xFF\xFE"};

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : random_(seed) {}

  std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
  bool chance(double p) { return std::bernoulli_distribution(p)(random_); }

  std::string mutatedText() {
    std::string text = kSeedTexts[below(kSeedTexts.size())];
    switch (below(10)) {
      case 0:
        return text;
      case 1:  // deep nesting
        return std::string(300 + below(3000), chance(0.5) ? '[' : '{') + text;
      case 2:  // a huge number somewhere
        return R"({"chord":"C","octave":)" + std::string(1 + below(400), '9') + (chance(0.5) ? "e999}" : "}");
      case 3: {  // invalid UTF-8
        text.insert(below(text.size() + 1), 1, static_cast<char>(0x80 + below(0x80)));
        return text;
      }
      case 4:  // cut short
        return text.substr(0, below(text.size() + 1));
      case 5:  // long text
        return R"({"chord":")" + std::string(below(40000), 'C') + R"(","request_id":"long"})";
      default: {
        const std::size_t edits = 1 + below(4);
        for (std::size_t i = 0; i < edits && !text.empty(); ++i) {
          const std::size_t at = below(text.size());
          switch (below(3)) {
            case 0:
              text[at] = static_cast<char>(below(256));
              break;
            case 1:
              text.erase(at, 1);
              break;
            default:
              text.insert(at, 1, "{}[]\":,\\ 0-e"[below(13)]);
          }
        }
        return text;
      }
    }
  }

  Atom randomAtom() {
    switch (below(10)) {
      case 0:
        return Atom::integer(static_cast<long long>(random_()) * (chance(0.5) ? -1 : 1) * (chance(0.1) ? 1LL << 31 : 1));
      case 1:
        return Atom::real(chance(0.2) ? 1e308 : std::uniform_real_distribution<double>(-1e6, 1e6)(random_));
      case 2:
        return Atom::object(chance(0.5) ? std::optional<std::string>("jweb") : std::nullopt);
      case 3:
        return chance(0.5) ? Atom::semicolon() : Atom::comma();
      case 4:
        return Atom::other();
      case 5:
        return Atom::symbol("");
      case 6:
        return Atom::symbol(kTypes[below(kTypes.size())]);
      default:
        return Atom::symbol(mutatedText());
    }
  }

  Atoms message() {
    Atoms atoms;
    switch (below(6)) {
      case 0: {  // an untyped JSON selector, sometimes quoted
        std::string text = mutatedText();
        if (chance(0.3)) text = "\"" + text + "\"";
        atoms.push_back(chance(0.95) ? Atom::symbol(text) : randomAtom());
        break;
      }
      case 1:
      case 2:  // a well-aimed typed request
        atoms = {Atom::symbol("fromJweb"), Atom::symbol(kTypes[below(kTypes.size())]), Atom::symbol(mutatedText())};
        break;
      default:
        atoms.push_back(chance(0.9) ? Atom::symbol(kSelectors[below(kSelectors.size())]) : randomAtom());
    }
    const std::size_t extra = below(4);
    for (std::size_t i = 0; i < extra; ++i) atoms.push_back(randomAtom());
    return atoms;
  }

 private:
  std::mt19937 random_;
};

// Whether the rules promise exactly one reply for this message.
bool mustBeAnswered(const Atoms& message) {
  if (message.size() < 3 || message[0] != Atom::symbol("fromJweb")) return false;
  const std::string type = atomToText(message[1]);
  return !isTypedPageEvent(type) && type != "write_clipboard";
}

void checkEnvelope(const std::string& text, const std::string& replyType) {
  for (const char c : text) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "non-ASCII in " << text.substr(0, 200);
  const Json envelope = Json::parse(text);
  ASSERT_TRUE(envelope.is_object());
  ASSERT_TRUE(envelope.contains("type") && envelope["type"].is_string());
  EXPECT_EQ(envelope["type"], replyType);
  ASSERT_TRUE(envelope.contains("ok") && envelope["ok"].is_boolean());
  ASSERT_TRUE(envelope.contains("payload") && envelope["payload"].is_object());
  if (envelope.contains("request_id")) {
    EXPECT_TRUE(envelope["request_id"].is_string());
  }
  EXPECT_EQ(envelope.dump(-1, ' ', true), text) << "not in canonical order";
}

TEST(Robustness, MutatedMessagesGetWellFormedAnswersOrTheSilenceTheRulesAllow) {
  InMemoryClipboard clipboard("  some clipboard text \n");
  ManualTimers timers;
  HeadlessPowerNotifications power;
  ProcessWideState state;
  TonalweaverObject object(HostServices{clipboard, timers, power, state, ""});

  std::vector<testing::SentMessage> sent;
  object.setOutletSink([&](int outlet, const Atoms& atoms) { sent.push_back({outlet, atoms}); });

  Mutator mutator(20261207);
  ReplyReassembler reassembler;
  int answered = 0;
  for (int round = 0; round < 3000; ++round) {
    const Atoms message = mutator.message();
    sent.clear();
    ASSERT_NO_THROW(object.receive(message)) << "round " << round;
    int replies = 0;
    for (const auto& out : sent) {
      if (out.outlet == 1) {
        for (const auto& atom : out.atoms) {
          ASSERT_EQ(atom.kind(), AtomKind::Int);
          ASSERT_GE(atom.intValue(), 0);
          ASSERT_LE(atom.intValue(), 127);
        }
        continue;
      }
      ASSERT_EQ(out.outlet, 0);
      const auto result = reassembler.accept(out.atoms);
      if (!result.isReply) {
        ASSERT_TRUE(message[0] == Atom::symbol("parse")) << "unexpected outlet 0 traffic in round " << round;
        continue;
      }
      ASSERT_FALSE(result.error) << *result.error << " in round " << round;
      if (result.envelopeText) {
        ++replies;
        checkEnvelope(*result.envelopeText, *result.replyType);
      }
    }
    ASSERT_FALSE(reassembler.pending()) << "round " << round;
    ASSERT_LE(replies, 1) << "round " << round;
    if (mustBeAnswered(message)) {
      EXPECT_EQ(replies, 1) << "round " << round << ": " << atomToText(message[1]);
    }
    answered += replies;
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(answered, 1000);
}

TEST(Robustness, EmptyAndNonSymbolSelectorsAreHarmless) {
  InMemoryClipboard clipboard;
  ManualTimers timers;
  HeadlessPowerNotifications power;
  ProcessWideState state;
  TonalweaverObject object(HostServices{clipboard, timers, power, state, ""});
  std::vector<testing::SentMessage> sent;
  object.setOutletSink([&](int outlet, const Atoms& atoms) { sent.push_back({outlet, atoms}); });
  object.receive(Atoms{});
  object.receive(Atoms{Atom::integer(1), Atom::integer(2)});
  object.receive(Atoms{Atom::real(3.5)});
  object.receive(Atoms{Atom::semicolon()});
  object.receive(Atoms{Atom::comma(), Atom::symbol("{}")});
  object.receive(Atoms{Atom::other()});
  object.receive(Atoms{Atom::object(std::nullopt)});
  object.receive(Atoms{Atom::object("{\"type\":\"ready\"}")});  // a class name that reads as JSON
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(testing::envelopesFrom(sent).at(0)["type"], "ready_ack");
}

}  // namespace
}  // namespace tw
