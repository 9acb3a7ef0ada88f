#include "host/headless_host.hpp"

#include <istream>
#include <limits>
#include <ostream>

#include "host/request_protocol.hpp"

namespace tw {

namespace {

std::optional<Atom> atomFromJson(const Json& value) {
  if (value.is_string()) return Atom::symbol(value.get<std::string>());
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<long long>::max()))
      return Atom::real(value.get<double>());  // too large for an int atom
    return Atom::integer(value.get<long long>());
  }
  if (value.is_number()) return Atom::real(value.get<double>());
  return std::nullopt;
}

Json atomToJson(const Atom& atom) {
  switch (atom.kind()) {
    case AtomKind::Symbol:
      return atom.name();
    case AtomKind::Int:
      return atom.intValue();
    case AtomKind::Float:
      return atom.floatValue();
    default:
      return atomToText(atom);
  }
}

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

MessageLine parseMessageLine(std::string_view line) {
  MessageLine result;
  const DecodedText decoded = decodeRequestText(line);
  if (decoded.error) {
    result.error = "not JSON (" + *decoded.error + ")";
    return result;
  }
  if (!decoded.value.is_array()) {
    result.error = "expected a JSON array of atoms";
    return result;
  }
  if (decoded.value.empty()) {
    result.error = "a message needs at least its selector";
    return result;
  }
  Atoms atoms;
  atoms.reserve(decoded.value.size());
  for (const auto& element : decoded.value) {
    auto atom = atomFromJson(element);
    if (!atom) {
      result.error = "atoms must be strings or numbers";
      return result;
    }
    atoms.push_back(std::move(*atom));
  }
  result.message = std::move(atoms);
  return result;
}

std::string formatOutletLine(int outlet, const Atoms& message) {
  Json line = Json::object();
  Json atoms = Json::array();
  for (const auto& atom : message) atoms.push_back(atomToJson(atom));
  line["atoms"] = std::move(atoms);
  line["outlet"] = outlet;
  // Symbols are host text and may hold any bytes; broken ones are replaced, never fatal.
  return line.dump(-1, ' ', true, Json::error_handler_t::replace);
}

int runHeadlessHost(std::istream& in, std::ostream& out, std::ostream& diagnostics, HostServices services) {
  TonalweaverObject object(std::move(services));
  object.setOutletSink([&out](int outlet, const Atoms& message) { out << formatOutletLine(outlet, message) << '\n'; });
  std::string line;
  std::size_t lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (isBlank(line)) continue;
    MessageLine parsed = parseMessageLine(line);
    if (!parsed.message) {
      diagnostics << "tonalweaver host: line " << lineNumber << " skipped: " << parsed.error << '\n';
      diagnostics.flush();
      continue;
    }
    object.receive(*parsed.message);
    out.flush();
  }
  out.flush();
  return 0;
}

}  // namespace tw
