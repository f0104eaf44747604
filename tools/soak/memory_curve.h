// What a soak's resident-memory samples say once the warm-up is over: the band
// they span, and how far their floor rose from the start of the run to its end;
// and how a regular sample settles before it counts.
//
// Only the regular samples count; those taken as a scene arrives are for the curve.
// The band is the long run's measure: every regular sample, wherever in a scene it
// fell. The growth is the short run's: a moment of play that holds a few megabytes
// lifts one sample and is gone at the next, while memory that is kept scene after
// scene lifts the floor.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace soak {

struct Sample {
  int frame;
  long rssKb;
  long heapKb;
  int scene;
  int changes;   // scene changes before this sample
  bool arrival;  // taken as a scene arrived, for the curve only
};

// A regular sample settles over the frames after it: it keeps the lowest reading
// of each kind. Now and then the software GL driver holds a few megabytes of its
// own blocks for a dozen frames of the game scene (not given back by finishing
// its work), and resident memory moves by megabytes from one frame to the next
// with the driver's buffers; a sample that caught such a frame measured the
// driver. What the game keeps lasts through the window and still shows.
struct SettlingSample {
  Sample sample;
  int framesLeft;  // readings still to take

  void Read(long rssKb, long heapKb) {
    if (Done()) return;
    sample.rssKb = std::min(sample.rssKb, rssKb);
    sample.heapKb = std::min(sample.heapKb, heapKb);
    --framesLeft;
  }
  bool Done() const { return framesLeft <= 0; }
};

struct MemoryCurve {
  int counted = 0;  // samples after the warm-up
  long lowKb = 0;
  long highKb = 0;
  long growthKb = 0;  // lowest of the last third above the lowest of the first third

  long BandKb() const { return highKb - lowKb; }
};

// The regular samples taken after the first `warmup` scene changes.
inline MemoryCurve ReadMemoryCurve(const std::vector<Sample>& samples, int warmup) {
  std::vector<long> rss;
  for (const Sample& s : samples) {
    if (s.changes >= warmup && !s.arrival) rss.push_back(s.rssKb);
  }
  MemoryCurve curve;
  curve.counted = int(rss.size());
  if (rss.empty()) return curve;
  curve.lowKb = *std::min_element(rss.begin(), rss.end());
  curve.highKb = *std::max_element(rss.begin(), rss.end());
  const std::size_t third = std::max<std::size_t>(1, rss.size() / 3);
  const long firstFloor = *std::min_element(rss.begin(), rss.begin() + third);
  const long lastFloor = *std::min_element(rss.end() - third, rss.end());
  curve.growthKb = lastFloor - firstFloor;
  return curve;
}

}  // namespace soak
