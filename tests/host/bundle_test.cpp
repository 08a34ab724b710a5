// The bundle loader: Contents/Info, finding bundles, and every way a bundle can fail, each
// giving one line that names it, while a good bundle beside it still loads.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

using namespace lumetra;
namespace fs = std::filesystem;

namespace {

const fs::path kFakes = LUMETRA_FAKE_BUNDLES;

TEST(Bundles, InfoIsRead) {
  hosttest::ScratchDir dir;
  fs::create_directories(dir / "X.bundle/Contents");
  std::ofstream(dir / "X.bundle/Contents/Info") << "# a comment\n identifier =  org.example.x \nexecutable=Thing\nversion = 3.1\nother = 1\n";
  auto info = readBundleInfo(dir / "X.bundle");
  ASSERT_TRUE(info) << info.error().message;
  EXPECT_EQ(info->identifier, "org.example.x");
  EXPECT_EQ(info->executable, "Thing");
  EXPECT_EQ(info->version, "3.1");
  EXPECT_TRUE(info->path.is_absolute());

  std::ofstream(dir / "X.bundle/Contents/Info") << "identifier = x\nexecutable = ../../evil\n";
  auto escaping = readBundleInfo(dir / "X.bundle");
  ASSERT_FALSE(escaping);
  EXPECT_NE(escaping.error().message.find("outside Contents/Linux"), std::string::npos);
}

TEST(Bundles, FoundInAFolderOrGivenDirectly) {
  const std::vector<fs::path> places{kFakes, kFakes / "Fake.bundle", kFakes};
  const auto found = findBundles(places);
  std::vector<std::string> names;
  for (const auto& p : found) names.push_back(p.filename().string());
  // Sorted within the folder, each once however often it is reached.
  EXPECT_EQ(names, (std::vector<std::string>{"Fake.bundle", "Missing.bundle", "NoEntry.bundle", "NoExecutable.bundle",
                                             "Refuses.bundle", "Silent.bundle"}));
}

struct FailCase {
  const char* bundle;
  const char* says;
};
void PrintTo(const FailCase& c, std::ostream* os) { *os << c.bundle; }

class BadBundles : public ::testing::TestWithParam<FailCase> {};

TEST_P(BadBundles, OneClearLine) {
  auto loaded = LoadedBundle::load(kFakes / GetParam().bundle);
  ASSERT_FALSE(loaded);
  const auto& message = loaded.error().message;
  EXPECT_NE(message.find(GetParam().bundle), std::string::npos) << message;
  EXPECT_NE(message.find(GetParam().says), std::string::npos) << message;
  EXPECT_EQ(message.find('\n'), std::string::npos);
}

const FailCase kBad[] = {
    {"NoEntry.bundle", "has no entry point"},
    {"Silent.bundle", "registered no visualizer"},
    {"Refuses.bundle", "'init' answered -50"},
    {"Missing.bundle", "does not load"},
    {"NoExecutable.bundle", "no identifier or executable"},
};

INSTANTIATE_TEST_SUITE_P(Bundles, BadBundles, ::testing::ValuesIn(kBad), [](const auto& i) {
  std::string n = i.param.bundle;
  return n.substr(0, n.find('.'));
});

TEST(Bundles, RegistrationIsKept) {
  auto loaded = LoadedBundle::load(kFakes / "Fake.bundle");
  ASSERT_TRUE(loaded) << loaded.error().message;
  ASSERT_EQ((*loaded)->visuals().size(), 1u);
  const auto& v = (*loaded)->visuals()[0];
  EXPECT_EQ(v.name, "FakeScope");
  EXPECT_EQ(v.registration.spectrumChannelCount, 1u);
  EXPECT_EQ(v.registration.maxWindowWidth, 4096);
  EXPECT_EQ((*loaded)->info().identifier, "org.lumetra.test.Fake");
}

TEST(Bundles, TheGoodOneIsUsedAndTheRestSkipped) {
  testing::internal::CaptureStderr();
  PluginSet set = loadPlugins({kFakes});
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_NE(set.visual, nullptr);
  EXPECT_EQ(set.visual->name, "FakeScope");
  // One line per skipped bundle.
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 5) << said;
  EXPECT_NE(said.find("skipping bundle \"Silent.bundle\" registered no visualizer"), std::string::npos) << said;
}

TEST(Bundles, NothingUsable) {
  struct Row {
    const char* name;
    std::vector<fs::path> places;
    const char* says;
  } rows[] = {
      {"only bad", {kFakes / "NoEntry.bundle", kFakes / "Silent.bundle"}, "no usable visualizer: bundle \"Silent.bundle\""},
      {"missing path", {kFakes / "Nowhere.bundle"}, "no such bundle or folder"},
      {"empty folder", {kFakes / "Missing.bundle/Contents"}, "no visualizer bundle found"},
  };
  for (const auto& r : rows) {
    testing::internal::CaptureStderr();
    try {
      loadPlugins(r.places);
      ADD_FAILURE() << r.name;
    } catch (const HostError& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << r.name << ": " << e.what();
    }
    testing::internal::GetCapturedStderr();
  }
}

TEST(Bundles, TheBuildsOwnIsADefault) {
  // The default folders hold the build's own folder, where its bundle is laid out.
  const auto folders = defaultPluginFolders();
  const auto own = fs::weakly_canonical(fs::path(LUMETRA_BUNDLE_DIR).parent_path());
  EXPECT_NE(std::find(folders.begin(), folders.end(), own), folders.end());
}

}  // namespace
