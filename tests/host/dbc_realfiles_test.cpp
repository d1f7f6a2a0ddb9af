// The real-world files of ../shared/dbc, read in place: the originals load without error and
// decode exactly as their hand-normalised copies.
#include <gtest/gtest.h>

#include <random>

#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/cananalysis/DbcParser.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace XeCanAnalysis;

DbcDatabase Load(const std::string& name) {
  DbcDatabase db;
  std::string error;
  EXPECT_TRUE(DbcParser::ParseFile(testing_support::SharedDir() / "dbc" / name, db, error))
      << error;
  return db;
}

TEST(DbcRealFiles, OriginalsLoadWithoutErrors) {
  SKIP_WITHOUT_SHARED("dbc");
  for (const char* name :
       {"ford_lincoln_base_pt.dbc", "tesla_can.dbc", "vw_mqbevo.dbc", "vw_pq.dbc"}) {
    SCOPED_TRACE(name);
    const DbcDatabase db = Load(name);
    EXPECT_EQ(db.ErrorCount(), 0u);
    EXPECT_GT(db.messages.size(), 40u);
  }
  EXPECT_EQ(Load("ford_lincoln_base_pt.dbc").signalCount, 2150u);
  EXPECT_EQ(Load("vw_mqbevo.dbc").WarningCount(), 10u);  // the ten 29-bit ids without the flag
}

TEST(DbcRealFiles, OriginalsDecodeAsTheirNormalisedCopies) {
  SKIP_WITHOUT_SHARED("dbc");
  for (const char* stem : {"tesla_can", "vw_mqbevo", "vw_pq"}) {
    SCOPED_TRACE(stem);
    const DbcDatabase original = Load(std::string(stem) + ".dbc");
    const DbcDatabase norm = Load(std::string(stem) + "_norm.dbc");
    const DbcFrameDecoder a(original), b(norm);
    ASSERT_EQ(original.messages.size(), norm.messages.size());
    ASSERT_EQ(original.signalCount, norm.signalCount);
    std::mt19937 rng(7);
    std::size_t values = 0;
    for (const DbcMessage& m : norm.messages) {
      const DbcMessage* o = original.FindMessage(m.CanId());
      ASSERT_NE(o, nullptr) << m.name;
      EXPECT_EQ(o->name, m.name);
      for (int round = 0; round < 32; ++round) {
        std::uint8_t data[64];
        for (auto& byte : data)
          byte = static_cast<std::uint8_t>(rng());
        using Row = std::tuple<std::string, std::string, std::string, double>;
        const auto decode = [&](const DbcDatabase& db, const DbcFrameDecoder& d) {
          std::vector<Row> rows;
          d.Decode(m.CanId(), data, round % 8 == 7 ? 64 : m.length,
                   [&](std::uint32_t flat, double v) {
                     const auto [mi, si] = db.Locate(flat);
                     const DbcSignal& s = db.messages[mi].signals[si];
                     rows.emplace_back(db.messages[mi].name, s.name, s.unit, v);
                   });
          return rows;
        };
        const auto expected = decode(norm, b);
        EXPECT_EQ(decode(original, a), expected) << m.name;
        values += expected.size();
      }
    }
    EXPECT_GT(values, 10000u);
  }
}

}  // namespace
