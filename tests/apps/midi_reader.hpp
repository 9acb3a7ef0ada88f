#pragma once
// A strict Standard MIDI File reader for the tests: format, tempo, time signature, the end of
// the track and every note event with its absolute tick. Anything unexpected fails the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tw::testing {

struct ReadEvent {
  long long tick;
  int status;
  int data1;
  int data2;
  bool operator==(const ReadEvent&) const = default;
};

struct ReadFile {
  int format = -1, tracks = -1, division = -1;
  long micros = -1;
  bool timeSignature44 = false;
  long long endTick = -1;
  std::vector<ReadEvent> notes;
};

// A strict reader: fails the test on anything unexpected.
inline ReadFile readBack(const std::vector<std::uint8_t>& b) {
  ReadFile f;
  std::size_t p = 0;
  auto u = [&](int n) {
    long v = 0;
    for (int i = 0; i < n; ++i) {
      EXPECT_LT(p, b.size());
      if (p >= b.size()) return v;
      v = (v << 8) | b[p++];
    }
    return v;
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.at(p++), static_cast<std::uint8_t>(t[i]));
  };
  tag("MThd");
  EXPECT_EQ(u(4), 6);
  f.format = static_cast<int>(u(2));
  f.tracks = static_cast<int>(u(2));
  f.division = static_cast<int>(u(2));
  tag("MTrk");
  const long length = u(4);
  EXPECT_EQ(static_cast<std::size_t>(length), b.size() - p);
  long long tick = 0;
  while (p < b.size()) {
    long delta = 0;
    for (;;) {
      const std::uint8_t c = b.at(p++);
      delta = (delta << 7) | (c & 0x7F);
      if (!(c & 0x80)) break;
    }
    tick += delta;
    const int status = b.at(p++);
    if (status == 0xFF) {
      const int type = b.at(p++);
      const int len = b.at(p++);
      if (type == 0x51) {
        EXPECT_EQ(len, 3);
        f.micros = (b.at(p) << 16) | (b.at(p + 1) << 8) | b.at(p + 2);
      } else if (type == 0x58) {
        f.timeSignature44 = b.at(p) == 4 && b.at(p + 1) == 2;
      } else if (type == 0x2F) {
        f.endTick = tick;
        EXPECT_EQ(p + static_cast<std::size_t>(len), b.size());
      } else {
        ADD_FAILURE() << "unexpected meta event " << type;
      }
      p += static_cast<std::size_t>(len);
    } else {
      EXPECT_TRUE(status == 0x80 || status == 0x90) << status;
      const int d1 = b.at(p++), d2 = b.at(p++);
      f.notes.push_back({tick, status, d1, d2});
    }
  }
  return f;
}

inline ReadFile readMidiFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return readBack(std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in), {}});
}

// The notes struck, as (tick, note) pairs in file order.
inline std::vector<std::pair<long long, int>> strikes(const ReadFile& f) {
  std::vector<std::pair<long long, int>> out;
  for (const auto& n : f.notes)
    if (n.status == 0x90) out.emplace_back(n.tick, n.data1);
  return out;
}

}  // namespace tw::testing
