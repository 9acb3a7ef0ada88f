#pragma once
// What the host-side subcommands share: where the corpora are found by default.
#include <string>

namespace tw::cli {

// The folder "resources" beside the tonalweaver binary (the build copies the corpora
// there); empty when the binary's own path cannot be found.
std::string defaultResourceFolder();

}  // namespace tw::cli
