#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "dialogs/RangeTable.h"

namespace {

using Table = std::vector<IdRange>;

Table Normalised(IdRangeList rows) {
  return can::NormaliseRanges(std::move(rows));
}

constexpr int kMax = kMaxCanId;

}  // namespace

TEST(NormaliseRanges, HandPickedTables) {
  EXPECT_EQ(Normalised({}), (Table{{0, kMax, true}}));
  EXPECT_EQ(Normalised({{10, 20, false}}),
            (Table{{0, 9, true}, {10, 20, false}, {21, kMax, true}}));
  EXPECT_EQ(Normalised({{20, 10, true}}), (Table{{0, kMax, true}}));
  EXPECT_EQ(Normalised({{0, 99, true}, {50, 200, false}}), (Table{{0, kMax, true}}));
  EXPECT_EQ(Normalised({{0, 9, false}, {20, 29, false}}),
            (Table{{0, 9, false}, {10, 19, true}, {20, 29, false}, {30, kMax, true}}));
  EXPECT_EQ(Normalised({{0, 9, true}, {20, 29, true}, {40, 49, false}}),
            (Table{{0, 39, true}, {40, 49, false}, {50, kMax, true}}));
  // A default row added below others loses to the row with the same start and a lower stop.
  EXPECT_EQ(Normalised({{0, 99, false}, {0, kMax, true}}),
            (Table{{0, 99, false}, {100, kMax, true}}));
  // Out-of-range cells are clamped into the ID space.
  EXPECT_EQ(Normalised({{-5, -1, false}}), (Table{{0, 0, false}, {1, kMax, true}}));
  EXPECT_EQ(Normalised({{2000000000, 5, false}}), (Table{{0, 4, true}, {5, kMax, false}}));
  // The last range by start is swallowed by a longer one before it: the top still gets covered.
  EXPECT_EQ(Normalised({{0, 1000, false}, {5, 10, false}}),
            (Table{{0, 1000, false}, {1001, kMax, true}}));
}

TEST(NormaliseRanges, RandomTablesAlwaysCoverTheIdSpaceOnceWithAlternatingFlags) {
  const unsigned seed = std::random_device{}();
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> rows(0, 12);
  std::uniform_int_distribution<int> anyInt(std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max());
  std::uniform_int_distribution<int> small(0, 200);
  std::uniform_int_distribution<int> id(0, kMax);
  for (int round = 0; round < 5000; ++round) {
    IdRangeList input;
    for (int n = rows(rng); n > 0; --n) {
      // Mostly plausible IDs, some near each other, some of any value a cell may hold.
      auto pick = [&] {
        switch (rng() % 3) {
          case 0:
            return small(rng);
          case 1:
            return id(rng);
          default:
            return rng() % 8 == 0 ? anyInt(rng) : kMax - small(rng);
        }
      };
      input.push_back({pick(), pick(), rng() % 2 == 0});
    }
    const Table out = Normalised(input);
    ASSERT_FALSE(out.empty()) << "seed " << seed;
    EXPECT_EQ(out.front().start, 0) << "seed " << seed;
    EXPECT_EQ(out.back().stop, kMax) << "seed " << seed;
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_LE(out[i].start, out[i].stop) << "seed " << seed;
      if (i == 0) continue;
      ASSERT_EQ(out[i].start, out[i - 1].stop + 1) << "seed " << seed;
      ASSERT_NE(out[i].active, out[i - 1].active) << "seed " << seed;
    }
    // Normalising a normalised table changes nothing.
    ASSERT_EQ(Normalised({out.begin(), out.end()}), out) << "seed " << seed;
  }
}
