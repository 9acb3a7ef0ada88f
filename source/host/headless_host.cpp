#include "host/headless_host.hpp"

#include <algorithm>
#include <array>
#include <istream>
#include <streambuf>
#include <limits>
#include <ostream>

#include "protocol/request_protocol.hpp"

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

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Nearly every line is an array of plain strings (printable ASCII with the simple escapes)
// and small integers. Such a line is read here directly, a few times faster than through the
// JSON decoder and into the very same atoms; anything else (other escapes, non-ASCII text,
// fractions, syntax errors) is left to the decoder.
class PlainMessageReader {
 public:
  explicit PlainMessageReader(std::string_view line) : text_(line) {}

  std::optional<Atoms> read() {
    Atoms atoms;
    skipSpace();
    if (!take('[')) return std::nullopt;
    do {
      skipSpace();
      if (!readAtom(atoms)) return std::nullopt;
      skipSpace();
    } while (take(','));
    if (!take(']')) return std::nullopt;
    skipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return atoms;
  }

 private:
  bool readAtom(Atoms& atoms) {
    if (take('"')) {
      std::string name;
      for (;;) {
        const std::size_t run = at_;  // plain characters are taken a run at a time
        while (at_ < text_.size() && text_[at_] >= 0x20 && text_[at_] <= 0x7E && text_[at_] != '"' &&
               text_[at_] != '\\')
          ++at_;
        name.append(text_, run, at_ - run);
        if (at_ == text_.size()) return false;
        const char c = text_[at_++];
        if (c == '"') break;
        if (c != '\\') return false;  // control characters and non-ASCII text
        if (at_ == text_.size()) return false;
        switch (text_[at_++]) {
          case '"': name += '"'; break;
          case '\\': name += '\\'; break;
          case '/': name += '/'; break;
          case 'b': name += '\b'; break;
          case 'f': name += '\f'; break;
          case 'n': name += '\n'; break;
          case 'r': name += '\r'; break;
          case 't': name += '\t'; break;
          default: return false;  // \u escapes and errors
        }
      }
      atoms.push_back(Atom::symbol(std::move(name)));
      return true;
    }
    // An integer of at most 18 digits, without a leading zero, fraction or exponent.
    const bool negative = take('-');
    const std::size_t first = at_;
    long long value = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      // Past 18 digits the line goes to the JSON library; stop adding before it could overflow.
      if (at_ - first < 18) value = value * 10 + (text_[at_] - '0');
      ++at_;
    }
    const std::size_t digits = at_ - first;
    if (digits == 0 || digits > 18 || (digits > 1 && text_[first] == '0')) return false;
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) return false;
    atoms.push_back(Atom::integer(negative ? -value : value));
    return true;
  }

  bool take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void skipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

// How the JSON library writes each ASCII character inside a string with every non-ASCII
// character escaped: 0 verbatim, a letter for a two-character escape, 'u' for \u00XX; -1 for
// characters this writer leaves to the library (DEL and everything above it).
constexpr std::array<signed char, 256> kStringEscapes = [] {
  std::array<signed char, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = 'u';
  table['\b'] = 'b';
  table['\f'] = 'f';
  table['\n'] = 'n';
  table['\r'] = 'r';
  table['\t'] = 't';
  table['"'] = '"';
  table['\\'] = '\\';
  for (int c = 0x7F; c < 0x100; ++c) table[static_cast<std::size_t>(c)] = -1;
  return table;
}();

// `text` as a JSON string, byte for byte as the JSON library writes it; text that is not
// plain ASCII is handed to the library itself.
void appendJsonString(std::string& out, const std::string& text) {
  std::size_t length = text.size() + 2;
  for (const char c : text) {
    const signed char escape = kStringEscapes[static_cast<unsigned char>(c)];
    if (escape < 0) {
      out += Json(text).dump(-1, ' ', true, Json::error_handler_t::replace);
      return;
    }
    length += escape == 0 ? 0 : escape == 'u' ? 5 : 1;
  }
  const std::size_t start = out.size();
  out.resize(start + length);
  char* to = out.data() + start;
  *to++ = '"';
  for (const char c : text) {
    const signed char escape = kStringEscapes[static_cast<unsigned char>(c)];
    if (escape == 0) {
      *to++ = c;
    } else if (escape == 'u') {
      constexpr char kHex[] = "0123456789abcdef";
      *to++ = '\\';
      *to++ = 'u';
      *to++ = '0';
      *to++ = '0';
      *to++ = kHex[(c >> 4) & 0xF];
      *to++ = kHex[c & 0xF];
    } else {
      *to++ = '\\';
      *to++ = static_cast<char>(escape);
    }
  }
  *to = '"';
}

}  // namespace

MessageLine parseMessageLine(std::string_view line) {
  MessageLine result;
  if (auto plain = PlainMessageReader(line).read(); plain && !plain->empty()) {
    result.message = std::move(plain);
    return result;
  }
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
  // Written out directly, byte for byte as the JSON library would write the object (keys in
  // order, compact, ASCII); symbols are host text and may hold any bytes, and broken ones
  // are replaced, never fatal.
  std::string line = "{\"atoms\":[";
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (i > 0) line += ',';
    const Atom& atom = message[i];
    switch (atom.kind()) {
      case AtomKind::Symbol:
        appendJsonString(line, atom.name());
        break;
      case AtomKind::Int:
        line += std::to_string(atom.intValue());
        break;
      case AtomKind::Float:
        line += Json(atom.floatValue()).dump();
        break;
      default:
        appendJsonString(line, atomToText(atom));
    }
  }
  line += "],\"outlet\":";
  line += std::to_string(outlet);
  line += '}';
  return line;
}

namespace {

// The input's lines, and whether a whole line is already at hand: replies are held back while
// more input waits and written out in blocks, and flushed the moment the host would wait.
class InputLines {
 public:
  explicit InputLines(std::streambuf& source) : source_(source) {}

  // The next line without its newline; false at end of input.
  bool next(std::string& line) {
    for (;;) {
      if (takeLine(line)) return true;
      if (ended_) {
        if (start_ == pending_.size()) return false;
        line.assign(pending_, start_);
        pending_.clear();
        start_ = 0;
        return true;
      }
      // Waits for input; whatever then arrived is taken at once.
      if (std::char_traits<char>::eq_int_type(source_.sgetc(), std::char_traits<char>::eof()))
        ended_ = true;
      else
        takeWaitingInput();
    }
  }

  // True when a whole line (or the end of input) can be read without waiting.
  bool lineWaiting() {
    while (pending_.find('\n', start_) == std::string::npos) {
      if (ended_) return true;
      if (!takeWaitingInput()) return false;
    }
    return true;
  }

 private:
  bool takeLine(std::string& line) {
    const std::size_t end = pending_.find('\n', start_);
    if (end == std::string::npos) return false;
    line.assign(pending_, start_, end - start_);
    start_ = end + 1;
    if (start_ == pending_.size()) {
      pending_.clear();
      start_ = 0;
    }
    return true;
  }

  // Moves what the stream can give without waiting into `pending_`; false when nothing came.
  bool takeWaitingInput() {
    const std::streamsize available = source_.in_avail();
    if (available < 0) ended_ = true;
    if (available <= 0) return false;
    constexpr std::streamsize kChunk = 1 << 16;
    const std::streamsize wanted = std::min(available, kChunk);
    if (start_ > 0 && start_ >= pending_.size() / 2) {  // keep the buffer from growing forever
      pending_.erase(0, start_);
      start_ = 0;
    }
    const std::size_t before = pending_.size();
    pending_.resize(before + static_cast<std::size_t>(wanted));
    const std::streamsize got = source_.sgetn(pending_.data() + before, wanted);
    pending_.resize(before + static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
    if (got <= 0) ended_ = true;
    return got > 0;
  }

  std::streambuf& source_;
  std::string pending_;
  std::size_t start_ = 0;  // where the unread part of `pending_` begins
  bool ended_ = false;
};

}  // namespace

int runHeadlessHost(std::istream& in, std::ostream& out, std::ostream& diagnostics, HostServices services) {
  TonalweaverObject object(std::move(services));
  object.setOutletSink([&out](int outlet, const Atoms& message) { out << formatOutletLine(outlet, message) << '\n'; });
  if (!in.rdbuf()) return 0;
  InputLines lines(*in.rdbuf());
  std::string line;
  std::size_t lineNumber = 0;
  for (;;) {
    // Someone waiting for an answer before writing the next line sees it now; a batch that
    // is already here is answered in full blocks.
    if (!lines.lineWaiting()) out.flush();
    if (!lines.next(line)) break;
    ++lineNumber;
    if (isBlank(line)) continue;
    MessageLine parsed = parseMessageLine(line);
    if (!parsed.message) {
      out.flush();  // the diagnostic follows the replies to the lines before it
      diagnostics << "tonalweaver host: line " << lineNumber << " skipped: " << parsed.error << '\n';
      diagnostics.flush();
      continue;
    }
    object.receive(*parsed.message);
  }
  out.flush();
  return 0;
}

}  // namespace tw
