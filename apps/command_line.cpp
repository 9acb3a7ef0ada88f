#include "command_line.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>

#include "generation/rhythm_patterns.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw::cli {

namespace {

// The usage line first, then the description, arguments, options, subcommands and the
// command's own closing text (its examples).
class HelpLayout : public CLI::Formatter {
 public:
  HelpLayout() {
    label("Usage", "usage");
    label("Positionals", "arguments");
    label("SUBCOMMAND", "COMMAND");
    column_width(26);
  }

  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    std::string help = make_usage(app, std::move(name)) + "\n" + make_description(app) + make_positionals(app) +
                       make_groups(app, mode) + make_subcommands(app, mode);
    if (!app->get_footer().empty()) help += "\n" + app->get_footer() + "\n";
    return help;
  }

  // Group titles in lower case, as the rest of the help.
  std::string make_group(std::string group, bool isPositional, std::vector<const CLI::Option*> options) const override {
    if (!group.empty()) group.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(group.front())));
    return CLI::Formatter::make_group(std::move(group), isPositional, std::move(options));
  }

  // A subcommand is listed by the first line of its description.
  std::string make_subcommand(const CLI::App* sub) const override {
    const std::string& description = sub->get_description();
    std::ostringstream out;
    CLI::detail::format_help(out, sub->get_name(), description.substr(0, description.find('\n')), get_column_width());
    return out.str();
  }

  // Only the kind of value an option takes: the descriptions say what is required and what
  // the defaults are.
  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_positional() || option->get_type_size() == 0 || option->get_type_name().empty()) return {};
    return " " + option->get_type_name();
  }
};

// What every command line shares: the help layout, --help, the last of a repeated option
// winning, and left-over arguments kept aside so that they are told in our own words.
void prepare(CLI::App& app) {
  app.formatter(std::make_shared<HelpLayout>());
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.set_help_flag("-h,--help", "show this help");
  app.allow_extras();
}

// CLI11's messages start with the option's name and a colon; ours go on from the name.
std::string describeParseError(const CLI::ParseError& error) {
  const std::string message = error.what();
  const std::size_t colon = message.find(": ");
  if (colon != std::string::npos) {
    const std::string name = message.substr(0, colon);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) return name + " needs a value";
    if (dynamic_cast<const CLI::ValidationError*>(&error)) return name + " " + message.substr(colon + 2);
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&error)) {
    const std::size_t excludes = message.find(" excludes ");
    if (excludes != std::string::npos)
      return "give either " + message.substr(0, excludes) + " or " + message.substr(excludes + 10) + ", not both";
  }
  return message;
}

// The words after "tonalweaver" of the deepest subcommand the command line reached.
const CLI::App* deepest(const CLI::App& command) {
  const CLI::App* app = &command;
  while (!app->get_subcommands().empty()) app = app->get_subcommands().front();
  return app;
}

std::string commandWords(const CLI::App& app) {
  std::string words = app.get_name();
  for (const CLI::App* parent = app.get_parent(); parent; parent = parent->get_parent())
    words = parent->get_name() + " " + words;
  const std::string_view program = "tonalweaver ";
  return words.starts_with(program) ? words.substr(program.size()) : words;
}

// The subcommands of `app`, "build, dump, evaluate or coverage"; empty when it has none.
std::string actionNames(const CLI::App& app) {
  const auto actions = app.get_subcommands([](const CLI::App*) { return true; });
  std::string names;
  for (std::size_t i = 0; i < actions.size(); ++i)
    names += (i == 0 ? "" : i + 1 == actions.size() ? " or " : ", ") + actions[i]->get_name();
  return names;
}

// The first argument no option or argument of `app` took, told as a problem.
std::optional<std::string> leftOver(const CLI::App& app) {
  const std::vector<std::string> extras = app.remaining();
  if (extras.empty()) return std::nullopt;
  const std::string& first = extras.front();
  if (first.size() > 1 && first.front() == '-') return "unknown option '" + first + "'";
  if (const std::string actions = actionNames(app); !actions.empty())
    return "unknown action '" + first + "' (" + actions + ")";
  if (app.get_options([](const CLI::Option* o) { return o->get_positional(); }).empty())
    return "unexpected argument '" + first + "'";
  return "unexpected argument '" + first + "' (quote an argument that holds spaces)";
}

std::optional<long long> readWholeNumber(const std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  long long value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (first == last || error != std::errc() || end != last) return std::nullopt;
  return value;
}

std::optional<double> readNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

// Exact enough for CLI11 to read back the very same double.
std::string exactText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string inQuotes(const std::string& text) { return "'" + text + "'"; }

}  // namespace

int runSubcommand(const Subcommand& subcommand, int argc, char** argv) {
  CLI::App command("", std::string("tonalweaver ") + subcommand.name);
  prepare(command);
  const CommandBody body = subcommand.define(command);
  try {
    command.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << command.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    const CLI::App& failed = *deepest(command);
    // Help asked for is help given, whatever else is wrong with the line.
    if (const CLI::Option* help = failed.get_help_ptr(); help && help->count() > 0) {
      std::cout << command.help();
      return 0;
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
      // A misplaced argument is the likelier fault than the one missing.
      if (const auto problem = leftOver(failed)) return usageError(commandWords(failed), *problem);
      if (const std::string actions = actionNames(failed); !actions.empty())
        return usageError(commandWords(failed), "name an action: " + actions);
    }
    return usageError(commandWords(failed), describeParseError(error));
  }
  for (const CLI::App* app = &command;; app = app->get_subcommands().front()) {
    if (const auto problem = leftOver(*app)) return usageError(commandWords(*app), *problem);
    if (app->get_subcommands().empty()) break;
  }
  return body();
}

std::string commandHelp(const std::vector<Subcommand>& subcommands) {
  CLI::App tonalweaver("A headless host and shell front end for the tonalweaver chord engine.", "tonalweaver");
  prepare(tonalweaver);
  std::vector<Subcommand> sorted = subcommands;
  std::sort(sorted.begin(), sorted.end(),
            [](const Subcommand& a, const Subcommand& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const Subcommand& s : sorted) tonalweaver.add_subcommand(s.name, s.summary)->group("commands");
  tonalweaver.require_subcommand(1);
  tonalweaver.footer("'tonalweaver COMMAND --help' describes a command.");
  return tonalweaver.help();
}

void describe(CLI::App& command, std::string description, std::string examples) {
  command.description(std::move(description));
  command.footer(std::move(examples));
}

int usageError(std::string_view command, std::string_view message) {
  std::cerr << "tonalweaver " << command << ": " << message << "\nTry 'tonalweaver " << command << " --help'.\n";
  return 2;
}

CLI::Validator wholeNumber() {
  return CLI::Validator([](std::string& text) -> std::string {
    const auto value = readWholeNumber(text);
    if (!value) return "needs a whole number, not " + inQuotes(text);
    text = std::to_string(*value);
    return {};
  }, "");
}

CLI::Validator wholeNumberIn(long long low, long long high) {
  return CLI::Validator([low, high](std::string& text) -> std::string {
    const auto value = readWholeNumber(text);
    if (!value || *value < low || *value > high)
      return "takes a whole number " +
             (high == std::numeric_limits<long long>::max()
                  ? "of " + std::to_string(low) + " or more"
                  : "from " + std::to_string(low) + " to " + std::to_string(high)) +
             ", not " + inQuotes(text);
    text = std::to_string(*value);
    return {};
  }, "");
}

CLI::Validator number() {
  return CLI::Validator([](std::string& text) -> std::string {
    const auto value = readNumber(text);
    if (!value) return "needs a number, not " + inQuotes(text);
    text = exactText(*value);
    return {};
  }, "");
}

CLI::Validator numberIn(double low, double high, std::string_view what) {
  std::ostringstream range;
  range << "takes " << what << " from " << low << " to " << high << ", not ";
  return CLI::Validator([low, high, problem = range.str()](std::string& text) -> std::string {
    const auto value = readNumber(text);
    if (!value || !(*value >= low && *value <= high)) return problem + inQuotes(text);
    text = exactText(*value);
    return {};
  }, "");
}

CLI::Validator oneOf(std::vector<std::string> choices) {
  std::string list;
  for (std::size_t i = 0; i < choices.size(); ++i)
    list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
  return CLI::Validator([choices, list](std::string& text) -> std::string {
    if (std::find(choices.begin(), choices.end(), text) != choices.end()) return {};
    return "takes " + list + ", not " + inQuotes(text);
  }, "");
}

CLI::Validator nonEmpty() {
  return CLI::Validator([](std::string& text) -> std::string {
    return text.empty() ? "needs a value, not an empty text" : "";
  }, "");
}

CLI::Validator voicingStyleId() {
  return CLI::Validator([](std::string& text) -> std::string {
    if (styleFromId(text)) return {};
    return "takes a voicing style (closed, shell, anthem, split, guide-color, velmaro), not " + inQuotes(text);
  }, "");
}

CLI::Validator rhythmPatternId() {
  return CLI::Validator([](std::string& text) -> std::string {
    if (findRhythmPattern(text)) return {};
    return "takes a rhythm pattern id ('tonalweaver rhythms' lists them), not " + inQuotes(text);
  }, "");
}

}  // namespace tw::cli
