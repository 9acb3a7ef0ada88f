#include "generation/progression_corpus.hpp"

#include <limits>

#include "generation/corpus_format.hpp"

namespace tw {

namespace {
constexpr std::string_view kMagic = "TWLP";

bool isGenreKeyText(std::string_view text) {
  if (text.empty() || text.size() > 255) return false;
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

bool isStorable(const StoredProgression& p) {
  if (p.numerals.empty() || p.numerals.size() > kMaxStoredProgressionLength) return false;
  for (const auto& n : p.numerals)
    if (!isStorableText(n)) return false;
  return true;
}

std::uint8_t modeByte(const ModeJudgment& mode, std::uint16_t version) {
  if (!mode.minor) return 0;
  return (version >= 2 && mode.melodic) ? 2 : 1;
}
}  // namespace

void ProgressionCorpus::add(const std::string& genreKey, StoredProgression progression) {
  int length = static_cast<int>(progression.numerals.size());
  genres_[genreKey][length].push_back(std::move(progression));
}

const std::vector<StoredProgression>* ProgressionCorpus::find(std::string_view genreKey,
                                                              int length) const {
  auto genre = genres_.find(genreKey);
  if (genre == genres_.end()) return nullptr;
  auto group = genre->second.find(length);
  if (group == genre->second.end() || group->second.empty()) return nullptr;
  return &group->second;
}

std::vector<std::uint8_t> encodeProgressionCorpus(const ProgressionCorpus& corpus,
                                                  std::uint16_t version) {
  constexpr std::size_t kMaxCount = std::numeric_limits<std::uint16_t>::max();
  // Keep only what the format can hold, so the writer and the reader agree on every file.
  struct Group {
    int length;
    std::vector<const StoredProgression*> items;
  };
  std::vector<std::pair<std::string, std::vector<Group>>> genres;
  for (const auto& [key, groups] : corpus.genres()) {
    if (!isGenreKeyText(key) || genres.size() == kMaxCount) continue;
    std::vector<Group> kept;
    for (const auto& [length, list] : groups) {
      if (length < 1 || length > kMaxStoredProgressionLength || kept.size() == 255) continue;
      Group g{length, {}};
      for (const auto& p : list)
        if (isStorable(p) && static_cast<int>(p.numerals.size()) == length &&
            g.items.size() < kMaxCount)
          g.items.push_back(&p);
      if (!g.items.empty()) kept.push_back(std::move(g));
    }
    if (!kept.empty()) genres.emplace_back(key, std::move(kept));
  }

  CorpusWriter out;
  out.raw(kMagic);
  out.u16(version);
  out.u16(static_cast<std::uint16_t>(genres.size()));
  for (const auto& [key, groups] : genres) {
    out.shortText(key);
    out.u8(static_cast<std::uint8_t>(groups.size()));
    for (const auto& g : groups) {
      out.u8(static_cast<std::uint8_t>(g.length));
      out.u16(static_cast<std::uint16_t>(g.items.size()));
      for (const auto* p : g.items) {
        out.u8(modeByte(p->mode, version));
        if (version >= 2) out.u16(p->occurrences);
        for (const auto& n : p->numerals) out.shortText(n);
      }
    }
  }
  return std::move(out).finish(CorpusFileKind::progressions);
}

std::optional<ProgressionCorpus> decodeProgressionCorpus(std::span<const std::uint8_t> file) {
  std::vector<std::uint8_t> body;
  if (!unscrambleAndVerify(file, CorpusFileKind::progressions, body)) return std::nullopt;
  CorpusReader in(body);
  if (!in.expect(kMagic)) return std::nullopt;
  std::uint16_t version = in.u16();
  if (version != 1 && version != 2) return std::nullopt;
  std::uint16_t genreCount = in.u16();
  if (genreCount == 0) return std::nullopt;

  ProgressionCorpus corpus;
  std::string previousKey;
  for (std::uint16_t gi = 0; gi < genreCount; ++gi) {
    std::string key = in.shortText();
    if (in.failed() || !isGenreKeyText(key) || (gi > 0 && key <= previousKey)) return std::nullopt;
    previousKey = key;
    std::uint8_t groupCount = in.u8();
    if (in.failed() || groupCount == 0) return std::nullopt;
    int previousLength = 0;
    for (std::uint8_t g = 0; g < groupCount; ++g) {
      int length = in.u8();
      std::uint16_t count = in.u16();
      if (in.failed() || length <= previousLength || length > kMaxStoredProgressionLength ||
          count == 0)
        return std::nullopt;
      previousLength = length;
      // Each progression needs at least a mode byte and one byte per numeral length: a
      // count that cannot fit in what is left is corrupt, not a reason to allocate.
      if (static_cast<std::size_t>(count) * (1 + length) > in.remaining()) return std::nullopt;
      for (std::uint16_t p = 0; p < count; ++p) {
        StoredProgression progression;
        std::uint8_t mode = in.u8();
        if (mode > (version >= 2 ? 2 : 1)) return std::nullopt;
        progression.mode = {mode != 0, mode == 2};
        if (version >= 2) progression.occurrences = in.u16();
        progression.numerals.reserve(static_cast<std::size_t>(length));
        for (int i = 0; i < length; ++i) {
          std::string numeral = in.shortText();
          if (in.failed() || !isStorableText(numeral)) return std::nullopt;
          progression.numerals.push_back(std::move(numeral));
        }
        corpus.add(key, std::move(progression));
      }
    }
  }
  if (!in.atEnd()) return std::nullopt;
  return corpus;
}

std::string genreKeyOf(std::string_view genre) {
  std::string key;
  for (char c : genre) {
    if (c >= 'A' && c <= 'Z') key.push_back(static_cast<char>(c - 'A' + 'a'));
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) key.push_back(c);
  }
  return key;
}

}  // namespace tw
