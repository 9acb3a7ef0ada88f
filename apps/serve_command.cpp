// tonalweaver serve: the web page and one tonalweaver object, served to a browser.
#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "command_environment.hpp"
#include "message_server.hpp"
#include "subcommand_registry.hpp"

extern char** environ;

namespace {

constexpr const char* kUsage = R"(usage: tonalweaver serve [--port N] [--host ADDRESS] [--resources DIR]
                        [--clipboard system|memory] [--open]

Serves the tonalweaver web page and one engine object to browsers. The page talks to the
object with the same host messages as the host application's web view:
  GET  /           the page (files from DIR/web)
  POST /messages   a JSON array of atoms (Content-Type: application/json), as one line of
                   `tonalweaver host`; the answer is the JSON array of the outlet messages
                   it caused, each {"atoms":[...],"outlet":N}
  GET  /events     Server-Sent Events: messages no request caused (the wake notice)
Requests are handled one at a time. Only requests that name this server in their Host
header and come from its own page (Origin) are answered.

Once listening it prints one line, "tonalweaver serving URL". SIGINT or SIGTERM stop it
(status 0); SIGUSR1 tells the object that the system powered on, as after sleep.

options:
  --port N            TCP port (default 8080; 0 picks a free one)
  --host ADDRESS      address to listen on (default 127.0.0.1, loopback only;
                      0.0.0.0 serves every network the machine is on)
  --resources DIR     folder holding the corpora cc.bin and pc.bin and the page in web/
                      (default: the folder "resources" beside the binary)
  --clipboard KIND    "system" (default) uses the desktop clipboard commands,
                      "memory" a clipboard that lives only in this process
  --open              opens the page in the desktop's browser (xdg-open)
  --help              this text

examples:
  tonalweaver serve
  tonalweaver serve --port 0 --clipboard memory
  curl -s -H 'Content-Type: application/json' \
       -d '["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"]' http://127.0.0.1:8080/messages
)";

bool parsePort(std::string_view text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > 65535) return false;
  port = value;
  return true;
}

void openInBrowser(const std::string& url) {
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
    std::cerr << "tonalweaver serve: could not start xdg-open; open " << url << " yourself\n";
    return;
  }
  std::thread([child] {
    int status = 0;
    waitpid(child, &status, 0);
  }).detach();
}

int run(int argc, char** argv) {
  tw::web::ServerOptions options;
  options.resourceFolder = tw::cli::defaultResourceFolder();
  bool open = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (argument == "--port" && hasValue) {
      if (!parsePort(argv[++i], options.address.port)) {
        std::cerr << "tonalweaver serve: --port takes a number from 0 to 65535, not \"" << argv[i] << "\"\n";
        return 2;
      }
    } else if (argument == "--host" && hasValue) {
      options.address.host = argv[++i];
      if (options.address.host.empty()) {
        std::cerr << "tonalweaver serve: --host needs an address\n";
        return 2;
      }
    } else if (argument == "--resources" && hasValue) {
      options.resourceFolder = argv[++i];
    } else if (argument == "--clipboard" && hasValue) {
      const std::string_view kind = argv[++i];
      if (kind != "memory" && kind != "system") {
        std::cerr << "tonalweaver serve: --clipboard takes \"memory\" or \"system\", not \"" << kind << "\"\n";
        return 2;
      }
      options.systemClipboard = kind == "system";
    } else if (argument == "--open") {
      open = true;
    } else {
      std::cerr << "tonalweaver serve: unexpected argument \"" << argument << "\"\n\n" << kUsage;
      return 2;
    }
  }
  options.webRoot = std::filesystem::path(options.resourceFolder) / "web";
  std::error_code error;
  if (!std::filesystem::is_regular_file(options.webRoot / "index.html", error)) {
    std::cerr << "tonalweaver serve: no page at " << (options.webRoot / "index.html").string()
              << " (build the project, or give --resources DIR with web/index.html inside)\n";
    return 1;
  }

  // Signals are taken by this thread alone, with sigwait: every thread started from here on
  // inherits the blocked set.
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  tw::web::MessageServer server(options);
  std::string reason;
  if (!server.bind(reason)) {
    std::cerr << "tonalweaver serve: " << reason << '\n';
    return 1;
  }
  const std::string url = tw::web::serverUrl(server.address());
  std::thread serving([&server] {
    server.serve();
    kill(getpid(), SIGUSR2);  // serving ended on its own: wake the signal wait
  });
  std::cout << "tonalweaver serving " << url << std::endl;
  if (open) openInBrowser(url);

  while (true) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) continue;
    if (signal == SIGUSR1) {
      server.powerOn();
      continue;
    }
    break;
  }
  server.shutdown();
  serving.join();
  return 0;
}

}  // namespace

TW_REGISTER_SUBCOMMAND("serve", "serve the web page and one engine object to browsers", run);
