// The frame clock: exact sample positions, no drift over hours, and the way back from a
// playback position to the frame that shows it.
#include "host.h"

#include <gtest/gtest.h>

using lumetra::FrameClock;

namespace {

struct ClockCase {
  const char* name;
  std::int64_t rate, fpsNum, fpsDen, frame, sample;
};
void PrintTo(const ClockCase& c, std::ostream* os) { *os << c.name; }

// Worked by hand: floor(frame x rate x den / num).
const ClockCase kCases[] = {
    {"first frame", 44100, 60, 1, 0, 0},
    {"one frame at 60", 44100, 60, 1, 1, 735},
    {"one second at 60", 44100, 60, 1, 60, 44100},
    {"three hours at 60", 44100, 60, 1, 60 * 3600 * 3, 44100LL * 3600 * 3},
    {"one frame at 24 of 48 kHz", 48000, 24, 1, 1, 2000},
    {"one frame at 29.97", 44100, 30000, 1001, 1, 1471},   // 1471.47
    {"two frames at 29.97", 44100, 30000, 1001, 2, 2942},  // 2942.94
    {"1001 s at 29.97", 44100, 30000, 1001, 30000, 44100LL * 1001},
    {"ten hours at 29.97", 44100, 30000, 1001, 1078920, 1587598412},  // 1078920 x 1471.47 = 1587598412.4
    {"one frame at 7", 44100, 7, 1, 1, 6300},
    {"one frame at 144", 44100, 144, 1, 1, 306},  // 306.25
};

class ClockTable : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockTable, SampleOfAFrame) {
  const auto& c = GetParam();
  const FrameClock clock(c.rate, c.fpsNum, c.fpsDen);
  EXPECT_EQ(clock.sampleAt(c.frame), c.sample);
  // The frame a player shows at that position is the same frame.
  EXPECT_EQ(clock.frameAt(c.sample), c.frame);
}

INSTANTIATE_TEST_SUITE_P(Clock, ClockTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (auto& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(Clock, NoDriftOverTenHours) {
  // Steps are 735 at 60 fps, and 1471 or 1472 at 29.97; whole seconds land exactly on
  // whole multiples of the rate however many frames came before.
  const FrameClock sixty(44100, 60);
  const FrameClock ntsc(44100, 30000, 1001);
  const std::int64_t frames = 60LL * 3600 * 10;
  for (std::int64_t n = 0; n < frames; ++n) {
    ASSERT_EQ(sixty.sampleAt(n + 1) - sixty.sampleAt(n), 735) << n;
    const auto step = ntsc.sampleAt(n + 1) - ntsc.sampleAt(n);
    ASSERT_TRUE(step == 1471 || step == 1472) << n;
    if (n % 30000 == 0) {
      ASSERT_EQ(ntsc.sampleAt(n), n / 30000 * 44100 * 1001) << n;
    }
  }
  EXPECT_EQ(sixty.sampleAt(frames), 44100LL * 3600 * 10);
}

TEST(Clock, FrameAtCoversEveryPosition) {
  // Every sample between two frame positions belongs to the earlier frame.
  const FrameClock clock(44100, 30000, 1001);
  for (std::int64_t n = 0; n < 2000; ++n) {
    ASSERT_EQ(clock.frameAt(clock.sampleAt(n)), n);
    ASSERT_EQ(clock.frameAt(clock.sampleAt(n + 1) - 1), n);
  }
}

TEST(Clock, FramesInALength) {
  const FrameClock clock(44100, 60);
  struct Row {
    std::int64_t samples, frames;
  } rows[] = {{0, 0}, {1, 1}, {735, 1}, {736, 2}, {88199, 120}, {88200, 120}, {88201, 121}};
  for (const auto& r : rows) EXPECT_EQ(clock.framesIn(r.samples), r.frames) << r.samples;
}

TEST(Clock, Milliseconds) {
  const FrameClock clock(44100, 60);
  EXPECT_EQ(clock.milliseconds(0), 0u);
  EXPECT_EQ(clock.milliseconds(44099), 999u);
  EXPECT_EQ(clock.milliseconds(44100), 1000u);
  EXPECT_EQ(clock.milliseconds(44100LL * 3600), 3600000u);
}

}  // namespace
