// The soak's reading of its memory samples: what counts as spread and what as growth.
#include "tools/soak/memory_curve.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// One sample per scene change, `rssKb[i]` after change i.
std::vector<soak::Sample> OnePerChange(const std::vector<long>& rssKb) {
  std::vector<soak::Sample> samples;
  for (int i = 0; i < int(rssKb.size()); ++i) {
    samples.push_back({i * 100, rssKb[i], 0, i % 2, i, false});
  }
  return samples;
}

TEST(MemoryCurve, AMomentaryPeakWidensTheBandButIsNoGrowth) {
  // The warm-up climbs 40 MB; then flat but for one sample 6 MB up in mid-run.
  const auto samples = OnePerChange({260000, 300000, 300100, 300050, 306000, 300000, 300080,
                                     300020, 300060, 300010});
  const soak::MemoryCurve curve = soak::ReadMemoryCurve(samples, 1);
  EXPECT_EQ(curve.counted, 9);
  EXPECT_EQ(curve.lowKb, 300000);
  EXPECT_EQ(curve.highKb, 306000);
  EXPECT_EQ(curve.BandKb(), 6000);
  EXPECT_EQ(curve.growthKb, 10);  // floors: 300000 at first, 300010 at the end
}

TEST(MemoryCurve, ArrivalSamplesAreForTheCurveOnly) {
  auto samples = OnePerChange({300000, 300100, 300050, 300080});
  samples.push_back({350, 309000, 0, 1, 3, true});  // a scene just built
  samples.push_back({360, 290000, 0, 1, 3, true});
  const soak::MemoryCurve curve = soak::ReadMemoryCurve(samples, 0);
  EXPECT_EQ(curve.counted, 4);
  EXPECT_EQ(curve.BandKb(), 100);
  EXPECT_EQ(curve.growthKb, 80);
}

TEST(MemoryCurve, AFloorThatRisesEveryChangeIsGrowthAndTheWarmUpIsLeftOut) {
  // 500 KB kept at every change, with peaks on top that do not hide it.
  std::vector<long> rss = {100000, 200000};
  for (int i = 0; i < 12; ++i) rss.push_back(300000 + 500 * i + (i % 3 == 0 ? 4000 : 0));
  const soak::MemoryCurve curve = soak::ReadMemoryCurve(OnePerChange(rss), 2);
  EXPECT_EQ(curve.counted, 12);
  // The first four samples' floor is 300500, the last four's 304000.
  EXPECT_EQ(curve.growthKb, 3500);
  EXPECT_EQ(curve.lowKb, 300500);

  EXPECT_EQ(soak::ReadMemoryCurve(OnePerChange(rss), 14).counted, 0);
  const soak::MemoryCurve two = soak::ReadMemoryCurve(OnePerChange(rss), 12);
  EXPECT_EQ(two.counted, 2);
  EXPECT_EQ(two.growthKb, 500);  // a third of two samples is one each
}

}  // namespace

TEST(SettlingSample, KeepsTheLowestReadingOfItsWindow) {
  // The driver holds 3 MB on the sample's first frames and lets go within the window.
  soak::SettlingSample held{{1000, 303000, 220500, 1, 5, false}, 4};
  for (long rss : {303100, 300020, 300000, 300050}) {
    EXPECT_FALSE(held.Done());
    held.Read(rss, rss - 82500);
  }
  EXPECT_TRUE(held.Done());
  EXPECT_EQ(held.sample.rssKb, 300000);
  EXPECT_EQ(held.sample.heapKb, 217500);
  EXPECT_EQ(held.sample.frame, 1000);

  // Memory the game keeps lasts through the window: the sample shows it.
  soak::SettlingSample kept{{2000, 300000, 217500, 1, 7, false}, 2};
  kept.Read(302000, 219500);
  kept.Read(302000, 219500);
  EXPECT_EQ(kept.sample.rssKb, 300000);  // the first reading was before it
  soak::SettlingSample later{{3000, 302000, 219500, 1, 9, false}, 2};
  later.Read(302100, 219600);
  later.Read(302050, 219550);
  EXPECT_EQ(later.sample.rssKb, 302000);
  EXPECT_EQ(later.sample.heapKb, 219500);
  // Readings past the window change nothing more.
  later.Read(100, 100);
  EXPECT_TRUE(later.Done());
  EXPECT_EQ(later.sample.rssKb, 302000);
}
