// tonalweaver serve: the web page and one tonalweaver object, served to a browser.
#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "command_environment.hpp"
#include "command_line.hpp"
#include "message_server.hpp"
#include "subcommand_registry.hpp"

extern char** environ;

namespace {

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

struct ServeArguments {
  tw::web::ServerOptions options;
  std::string clipboard = "system";
  bool open = false;
};

int run(ServeArguments args) {
  tw::web::ServerOptions& options = args.options;
  options.systemClipboard = args.clipboard == "system";
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
  if (args.open) openInBrowser(url);

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

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    R"(Serves the tonalweaver web page and one engine object to browsers. The page talks to the
object with the same host messages as the host application's web view:
  GET  /           the page (files from DIR/web)
  POST /messages   a JSON array of atoms (Content-Type: application/json), as one line of
                   `tonalweaver host`; the answer is the JSON array of the outlet messages
                   it caused, each {"atoms":[...],"outlet":N}
  GET  /events     Server-Sent Events: messages no request caused (the wake notice)
Requests are handled one at a time. Only requests that name this server in their Host
header and come from its own page (Origin) are answered.

Once listening it prints one line, "tonalweaver serving URL". SIGINT or SIGTERM stop it
(status 0); SIGUSR1 tells the object that the system powered on, as after sleep.)",
                    R"(examples:
  tonalweaver serve
  tonalweaver serve --port 0 --clipboard memory
  curl -s -H 'Content-Type: application/json' \
       -d '["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"]' http://127.0.0.1:8080/messages)");
  auto args = std::make_shared<ServeArguments>();
  args->options.resourceFolder = tw::cli::defaultResourceFolder();
  command.add_option("--port", args->options.address.port, "TCP port (default 8080; 0 picks a free one)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumberIn(0, 65535));
  command.add_option("--host", args->options.address.host,
                     "address to listen on (default 127.0.0.1, loopback only;\n"
                     "0.0.0.0 serves every network the machine is on)")
      ->type_name("ADDRESS")
      ->check(tw::cli::nonEmpty());
  command.add_option("--resources", args->options.resourceFolder,
                     "folder holding the corpora cc.bin and pc.bin and the page in web/\n"
                     "(default: the folder \"resources\" beside the binary)")
      ->type_name("DIR");
  tw::cli::addClipboardOption(command, args->clipboard);
  command.add_flag("--open", args->open, "opens the page in the desktop's browser (xdg-open)");
  return [args] { return run(*args); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("serve", "serve the web page and one engine object to browsers", define);
