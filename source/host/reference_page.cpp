#include "host/reference_page.hpp"

#include <sstream>
#include <string_view>
#include <vector>

namespace tw {

namespace {

std::string escapeXml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '\'': escaped += "&apos;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

// The first sentence of a description, without its full stop.
std::string_view digestOf(std::string_view description) {
  const auto end = description.find(". ");
  std::string_view digest = description.substr(0, end);
  if (!digest.empty() && digest.back() == '.') digest.remove_suffix(1);
  return digest;
}

struct Argument {
  std::string name;
  bool optional;
};

// "style chord" or "[json]": names separated by blanks, optional ones in brackets.
std::vector<Argument> argumentsOf(std::string_view text) {
  std::vector<Argument> arguments;
  std::istringstream words{std::string(text)};
  for (std::string word; words >> word;) {
    const bool optional = word.size() > 2 && word.front() == '[' && word.back() == ']';
    arguments.push_back({optional ? word.substr(1, word.size() - 2) : word, optional});
  }
  return arguments;
}

std::vector<std::string> tagsOf(std::string_view tags) {
  std::vector<std::string> list;
  std::istringstream parts{std::string(tags)};
  for (std::string tag; std::getline(parts, tag, ',');) {
    const auto first = tag.find_first_not_of(' ');
    const auto last = tag.find_last_not_of(' ');
    if (first != std::string::npos) list.push_back(tag.substr(first, last - first + 1));
  }
  return list;
}

void writePort(std::ostream& out, std::string_view element, std::size_t id, const PortDescription& port) {
  out << "\t\t<" << element << " id='" << id << "' type='" << escapeXml(port.type) << "'>\n"
      << "\t\t\t<digest>" << escapeXml(port.assist) << "</digest>\n"
      << "\t\t</" << element << ">\n";
}

}  // namespace

std::string referencePageXml(const ObjectRegistration& registration) {
  std::ostringstream out;
  out << "<?xml version='1.0' encoding='utf-8' standalone='yes'?>\n"
      << "<!-- Written from the object's registration; the test suite checks that they agree. -->\n\n"
      << "<c74object name='" << escapeXml(registration.className) << "' module='max'>\n\n"
      << "\t<digest>" << escapeXml(registration.digest) << "</digest>\n"
      << "\t<description>" << escapeXml(registration.digest)
      << ": reads chord symbols, voices chords and progressions, analyses them in a key and "
         "suggests what comes next, for the web page in a jweb object beside it.</description>\n\n"
      << "\t<metadatalist>\n\t\t<metadata name='author'>tonalweaver</metadata>\n";
  for (const auto& tag : tagsOf(registration.tags)) out << "\t\t<metadata name='tag'>" << escapeXml(tag) << "</metadata>\n";
  out << "\t</metadatalist>\n\n\t<inletlist>\n";
  writePort(out, "inlet", 0, registration.inlet);
  out << "\t</inletlist>\n\n\t<outletlist>\n";
  for (std::size_t i = 0; i < registration.outlets.size(); ++i) writePort(out, "outlet", i, registration.outlets[i]);
  out << "\t</outletlist>\n\n\t<objarglist />\n\n\t<methodlist>\n";
  for (const auto& message : registration.messages) {
    out << "\t\t<method name='" << escapeXml(message.name) << "'>\n";
    const auto arguments = argumentsOf(message.arguments);
    if (!arguments.empty()) {
      out << "\t\t\t<arglist>\n";
      for (const auto& argument : arguments)
        out << "\t\t\t\t<arg name='" << escapeXml(argument.name) << "' optional='" << (argument.optional ? 1 : 0)
            << "' type='symbol' />\n";
      out << "\t\t\t</arglist>\n";
    }
    out << "\t\t\t<digest>" << escapeXml(digestOf(message.description)) << "</digest>\n"
        << "\t\t\t<description>" << escapeXml(message.description) << "</description>\n"
        << "\t\t</method>\n";
  }
  out << "\t</methodlist>\n\n\t<attributelist />\n\n\t<seealsolist>\n"
      << "\t\t<seealso name='jweb' />\n\t\t<seealso name='noteout' />\n"
      << "\t</seealsolist>\n\n</c74object>\n";
  return out.str();
}

}  // namespace tw
