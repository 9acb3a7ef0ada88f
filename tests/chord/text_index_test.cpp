#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chord/text_index.hpp"

namespace tw {
namespace {

TEST(TextIndex, FindsEveryKeyAndNothingElse) {
  std::vector<std::string> keys;
  for (int i = 0; i < 5000; ++i) keys.push_back("key" + std::to_string(i * 7919));
  std::vector<TextIndex::Row> rows;
  for (std::size_t i = 0; i < keys.size(); ++i)
    rows.emplace_back(keys[i], static_cast<std::uint16_t>(i));
  const TextIndex index(rows);
  EXPECT_EQ(index.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(index.find(keys[i]), static_cast<int>(i));
  EXPECT_EQ(index.find("key1"), -1);
  EXPECT_EQ(index.find("key"), -1);
  EXPECT_EQ(index.find(""), -1);
  EXPECT_EQ(index.find(std::string(100000, 'k')), -1);
}

TEST(TextIndex, SkipsEmptyAndRepeatedKeysAndCopiesKeyText) {
  std::vector<TextIndex::Row> rows;
  std::string transient = "maj7";
  rows.emplace_back(transient, 1);
  rows.emplace_back("", 2);
  rows.emplace_back("maj7", 3);
  rows.emplace_back("m7\xE2\x99\xAD" "5", 4);
  const TextIndex index(rows);
  transient = "xxxx";
  EXPECT_EQ(index.size(), 2u);
  EXPECT_EQ(index.find("maj7"), 1);
  EXPECT_EQ(index.find("m7\xE2\x99\xAD" "5"), 4);
  EXPECT_EQ(index.find("maj"), -1);
  EXPECT_EQ(index.find("maj7 "), -1);
}

TEST(TextIndex, EmptyIndexFindsNothing) {
  const TextIndex index;
  EXPECT_EQ(index.find("C"), -1);
  EXPECT_EQ(TextIndex(std::vector<TextIndex::Row>{}).find("C"), -1);
}

}  // namespace
}  // namespace tw
