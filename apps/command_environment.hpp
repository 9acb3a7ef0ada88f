#pragma once
// What the host-side subcommands share: where the corpora are found by default, and the
// options that say so and which clipboard the object uses.
#include <string>

#include <CLI/CLI.hpp>

namespace tw::cli {

// The folder "resources" beside the tonalweaver binary (the build copies the corpora
// there); empty when the binary's own path cannot be found.
std::string defaultResourceFolder();

// --resources DIR, the folder of the corpora.
void addResourcesOption(CLI::App& command, std::string& folder);

// --clipboard KIND: "system" (the desktop's clipboard commands) or "memory".
void addClipboardOption(CLI::App& command, std::string& kind);

}  // namespace tw::cli
