// `lumetra render` when the disk fills up in the middle of the output.
//
// The program runs in a shell with a file size limit (ulimit -f) and SIGXFSZ ignored, so that a
// write past the limit fails with an error, as it does on a full disk, instead of killing the
// program. Whatever the kind of output, that must give one line on stderr saying what could not
// be written, a non-zero exit, and nothing left behind: neither the output nor its temporary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "hosttest.h"

namespace {

using hosttest::quote;

struct Row {
  const char* name;
  const char* output;   // as given to -o
  const char* options;
  int limitKiB;         // the file size limit
};

const Row kRows[] = {
    {"H.264 video in MP4", "out.mp4", "--size 320x240", 64},
    {"H.264 video in Matroska", "out.mkv", "--size 320x240", 64},
    {"a still", "still.png", "--size 1280x720", 1},
    {"an image sequence", "frames/", "--size 1280x720 --fps 5", 1},
    {"raw frames to a file", "frames.raw", "--format rawvideo --size 320x240", 64},
};

class FullDiskTest : public ::testing::TestWithParam<Row> {};

TEST_P(FullDiskTest, OneClearErrorAndNothingLeft) {
  const Row& row = GetParam();
  hosttest::ScratchDir dir;
  ASSERT_TRUE(hosttest::makeSound(dir / "in.wav", "sine=frequency=441:sample_rate=44100:duration=2", "-ac 2"));
  const std::string command = "cd " + quote(dir.path().string()) + " && trap '' XFSZ && ulimit -f " +
                              std::to_string(row.limitKiB) + " && exec " + quote(LUMETRA_PROGRAM) +
                              " render in.wav -o " + quote(row.output) + " " + row.options + " --quiet </dev/null";
  const hosttest::Run r = hosttest::run("bash -c " + quote(command));
  EXPECT_NE(r.status, 0) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << "one line: " << r.output;
  EXPECT_EQ(r.output.rfind("lumetra: ", 0), 0u) << r.output;
  // The folder holds the input only (an image sequence's folder may stay, empty).
  std::vector<std::string> left = dir.names();
  if (std::string(row.output) == "frames/" && std::find(left.begin(), left.end(), "frames") != left.end()) {
    EXPECT_TRUE(hosttest::ScratchDir::namesOf(dir / "frames").empty()) << "frames were left behind";
    left.erase(std::find(left.begin(), left.end(), "frames"));
  }
  EXPECT_EQ(left, std::vector<std::string>{"in.wav"}) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Outputs, FullDiskTest, ::testing::ValuesIn(kRows), [](const auto& info) {
  std::string name = info.param.output;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

}  // namespace
