// rand and srand keep one sequence per thread, as the Windows runtime does:
// seeding on one thread leaves another's sequence alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace {

std::vector<int> Draw(int count) {
  std::vector<int> values;
  for (int i = 0; i < count; ++i) values.push_back(std::rand());
  return values;
}

TEST(Random, EachThreadHasItsOwnSequence) {
  std::srand(42);
  const std::vector<int> expected = Draw(8);

  std::srand(42);
  const std::vector<int> firstHalf = Draw(4);
  std::vector<int> other;
  std::thread loader([&other] {
    other = Draw(2);  // a new thread starts as if seeded with 1
    std::srand(7);    // and its seed stays its own
    Draw(100);
  });
  loader.join();
  std::vector<int> secondHalf = Draw(4);
  std::vector<int> joined = firstHalf;
  joined.insert(joined.end(), secondHalf.begin(), secondHalf.end());
  EXPECT_EQ(joined, expected);

  std::srand(1);
  EXPECT_EQ(Draw(2), other);
}

TEST(Random, ValuesStayWithinTheWindowsRange) {
  std::srand(3);
  for (int value : Draw(1000)) {
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 0x7fff);
  }
}

}  // namespace
