// tonalweaver request: one request through a fresh tonalweaver object, the reply printed.
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "command_environment.hpp"
#include "command_line.hpp"
#include "host/clipboard.hpp"
#include "host/reply_reassembly.hpp"
#include "host/tonalweaver_object.hpp"
#include "subcommand_registry.hpp"

namespace {

struct RequestArguments {
  std::string resources = tw::cli::defaultResourceFolder();
  std::string type;
  std::string text;
};

int run(const RequestArguments& args, const CLI::App& command) {
  std::string text = args.text;
  if (!command.count("JSON") || text == "-") {
    std::ios::sync_with_stdio(false);
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }

  tw::InMemoryClipboard clipboard;
  tw::ManualTimers timers;
  tw::HeadlessPowerNotifications power;
  tw::TonalweaverObject object(tw::HostServices{clipboard, timers, power, tw::processWideState(), args.resources});

  tw::ReplyReassembler reassembler;
  std::optional<std::string> envelope;
  object.setOutletSink([&](int outlet, const tw::Atoms& message) {
    if (outlet != 0 || envelope) return;
    auto result = reassembler.accept(message);
    if (result.envelopeText) envelope = std::move(result.envelopeText);
  });
  object.receive(tw::Atoms{tw::Atom::symbol("fromJweb"), tw::Atom::symbol(args.type), tw::Atom::symbol(text)});

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

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "Sends \"fromJweb\" TYPE JSON to a fresh tonalweaver object (JSON is read from standard\n"
                    "input when it is omitted or \"-\"), reassembles a chunked reply, and prints the serialised\n"
                    "reply envelope exactly as the object produced it, on one line. The clipboard requests\n"
                    "use a clipboard that lives only in this process.",
                    R"(exit status: 0 when the envelope's "ok" is true, 1 when it is false, 2 when the object
sent no reply (or the arguments were wrong).

examples:
  tonalweaver request parse_chord '{"chord":"Cm7"}'
  tonalweaver request get_version ''
  echo '{"type":"ready","payload":{},"request_id":"a1"}' | tonalweaver request ready
  tonalweaver request generate_voicing '{"chord":"G7","style":"closed"}'
  tonalweaver request get_supported_qualities '{}' | head -c 300)");
  auto args = std::make_shared<RequestArguments>();
  tw::cli::addResourcesOption(command, args->resources);
  command.add_option("TYPE", args->type, "the request type, such as parse_chord")->required();
  command.add_option("JSON", args->text, "the request's JSON text (default: standard input)");
  return [args, &command] { return run(*args, command); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("request", "send one request to a fresh tonalweaver object and print its reply", define);
