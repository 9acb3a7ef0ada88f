#include "tonalweaver/progressions.hpp"

#include <algorithm>
#include <span>

#include "analysis/chord_rendering.hpp"
#include "api/engine_terms.hpp"
#include "api/guarded_call.hpp"
#include "voicing/progression_voicing.hpp"

namespace tonalweaver {

namespace {

std::string slotName(std::size_t index) { return " in slot " + std::to_string(index + 1); }

tw::AvlSlot readSlot(const Slot& slot, std::size_t index) {
  tw::AvlSlot read;
  if (auto chord = tw::parseChordSymbol(slot.chord)) read.chord = std::move(*chord);
  else internal::fail("Invalid chord" + slotName(index) + ": " + slot.chord);
  if (auto style = tw::styleFromId(slot.voicing.style)) read.style = *style;
  else internal::fail("Invalid style" + slotName(index) + ": " + slot.voicing.style);
  const tw::VoicingOptions options = internal::voicingOptionsOf(slot.voicing);
  read.octave = internal::clampedOctave(slot.voicing.octave);
  read.octaveShift = options.octaveShift;
  read.inversion = options.inversion;
  read.dropBass = options.dropBass;
  for (int note : slot.notes)
    if (note < 0 || note > 127)
      internal::fail("Invalid note" + slotName(index) + ": " + std::to_string(note) +
                     " (MIDI notes are 0..127)");
  read.manualNotes = slot.notes;
  read.autoVoiced = !slot.anchor && slot.notes.empty();
  return read;
}

// Voiced on its own: the style's voicing, or the notes entered for the slot as they are.
tw::PlacedVoicing voiceAlone(const tw::AvlSlot& slot, const tw::ProgressionTransposition& shift) {
  if (slot.manualNotes.empty()) return tw::voiceSlotDirectly(slot, shift);
  return {tw::shiftNotes(slot.manualNotes, shift.total),
          tw::shiftNotes(slot.manualNotes, shift.withinOctave)};
}

}  // namespace

Result<std::vector<VoicedChord>> voiceProgression(const std::vector<Slot>& slots,
                                                 const ProgressionOptions& options) {
  return internal::guardedCall([&] {
    std::optional<tw::KeyContext> key;
    if (options.key) key = internal::readKey(*options.key);
    const tw::DisplaySpelling display =
        tw::displaySpelling(key, options.key ? options.key->tonic : std::string(),
                            internal::spellingRequestOf(options.spelling));
    const tw::ProgressionTransposition shift = tw::progressionTransposition(options.transpose);

    std::vector<tw::AvlSlot> read;
    read.reserve(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) read.push_back(readSlot(slots[i], i));

    std::vector<VoicedChord> voiced(read.size());
    for (std::size_t i = 0; i < read.size(); ++i)
      voiced[i].maxInversion = tw::slotMaxInversion(read[i], shift);

    std::vector<tw::PlacedVoicing> placed;
    if (options.voiceLeading && !read.empty()) {
      placed = tw::leadProgression(read, shift, options.allowBassChanges, false);
    } else {
      for (const tw::AvlSlot& slot : read) placed.push_back(voiceAlone(slot, shift));
    }

    for (std::size_t i = 0; i < read.size(); ++i) {
      VoicedChord& chord = voiced[i];
      chord.notes = std::move(placed[i].notes);
      const auto shown = tw::chordDisplay(read[i].chord, display.key, display.preferFlats,
                                          display.simplify, placed[i].displayNotes);
      if (!shown) continue;
      chord.symbol = shown->symbol;
      chord.noteLabels = shown->noteLabels;
      if (key) chord.numeral = shown->roman;
    }
    return voiced;
  });
}

}  // namespace tonalweaver
