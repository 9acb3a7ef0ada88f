// tonalweaver request: one request through a fresh tonalweaver object, the reply printed.
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "command_environment.hpp"
#include "host/clipboard.hpp"
#include "host/reply_reassembly.hpp"
#include "host/tonalweaver_object.hpp"
#include "subcommand_registry.hpp"

namespace {

constexpr const char* kUsage = R"(usage: tonalweaver request [--resources DIR] TYPE [JSON]

Sends "fromJweb" TYPE JSON to a fresh tonalweaver object (JSON is read from standard
input when it is omitted or "-"), reassembles a chunked reply, and prints the serialised
reply envelope exactly as the object produced it, on one line. The clipboard requests
use a clipboard that lives only in this process.

exit status: 0 when the envelope's "ok" is true, 1 when it is false, 2 when the object
sent no reply (or the arguments were wrong).

options:
  --resources DIR   folder holding the corpora cc.bin and pc.bin
                    (default: the folder "resources" beside the binary)
  --help            this text

examples:
  tonalweaver request parse_chord '{"chord":"Cm7"}'
  tonalweaver request get_version ''
  echo '{"type":"ready","payload":{},"request_id":"a1"}' | tonalweaver request ready
  tonalweaver request generate_voicing '{"chord":"G7","style":"closed"}'
  tonalweaver request get_supported_qualities '{}' | head -c 300
)";

int run(int argc, char** argv) {
  std::string resources = tw::cli::defaultResourceFolder();
  std::optional<std::string> type;
  std::optional<std::string> text;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (argument == "--resources" && i + 1 < argc) {
      resources = argv[++i];
    } else if (!type) {
      type = std::string(argument);
    } else if (!text) {
      text = std::string(argument);
    } else {
      std::cerr << "tonalweaver request: unexpected argument \"" << argument << "\"\n\n" << kUsage;
      return 2;
    }
  }
  if (!type) {
    std::cerr << "tonalweaver request: a request TYPE is needed\n\n" << kUsage;
    return 2;
  }
  if (!text || *text == "-") {
    std::ios::sync_with_stdio(false);
    text = std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }

  tw::InMemoryClipboard clipboard;
  tw::ManualTimers timers;
  tw::HeadlessPowerNotifications power;
  tw::TonalweaverObject object(tw::HostServices{clipboard, timers, power, tw::processWideState(), resources});

  tw::ReplyReassembler reassembler;
  std::optional<std::string> envelope;
  object.setOutletSink([&](int outlet, const tw::Atoms& message) {
    if (outlet != 0 || envelope) return;
    auto result = reassembler.accept(message);
    if (result.envelopeText) envelope = std::move(result.envelopeText);
  });
  object.receive(tw::Atoms{tw::Atom::symbol("fromJweb"), tw::Atom::symbol(*type), tw::Atom::symbol(*text)});

  if (!envelope) {
    std::cerr << "tonalweaver request: no reply\n";
    return 2;
  }
  std::cout << *envelope << '\n';
  const auto decoded = nlohmann::json::parse(*envelope, nullptr, false);
  const bool ok = decoded.is_object() && decoded.contains("ok") && decoded["ok"].is_boolean() &&
                  decoded["ok"].get<bool>();
  return ok ? 0 : 1;
}

}  // namespace

TW_REGISTER_SUBCOMMAND("request", "send one request to a fresh tonalweaver object and print its reply", run);
