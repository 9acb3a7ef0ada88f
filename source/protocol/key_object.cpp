// Reading a key from a request.
#include "protocol/key_object.hpp"

#include "chord/pitch_spelling.hpp"

namespace tw {

KeyObjectReading parseKeyObject(const Json& object, KeyObjectDefaults defaults) {
  KeyObjectReading reading;
  reading.rootText = object.value("root", std::string(defaults.root));
  reading.modeText = object.value("mode", std::string("major"));
  const bool minor = reading.modeText == "minor";
  if (minor || !defaults.scaleTypeOnlyWhenMinor)
    reading.melodicRequested = object.value("minorScaleType", std::string("natural")) == "melodic";
  if (const auto root = parseNoteName(reading.rootText))
    reading.key = KeyContext{*root, minor, minor && reading.melodicRequested};
  return reading;
}

std::string_view modeName(const KeyContext& key) { return key.minor ? "minor" : "major"; }

std::string_view minorScaleTypeName(const KeyContext& key) {
  return key.minor && key.melodic ? "melodic" : "natural";
}

}  // namespace tw
