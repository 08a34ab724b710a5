// A bundle folder in a fresh temporary directory, removed again at the end of the test.
#ifndef LUMETRA_TESTS_SETTINGS_TEMPBUNDLE_H
#define LUMETRA_TESTS_SETTINGS_TEMPBUNDLE_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumetra::test {

inline constexpr std::string_view kTestInfo =
    "identifier = Lumetra Test.bundle\nexecutable = LumetraTest\nversion = 1.0.0\n";

class TempBundle {
 public:
  TempBundle() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumetra-bundle-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
    root_ = pattern;
    std::filesystem::create_directories(root_ / "Contents" / "Resources");
  }
  ~TempBundle() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempBundle(const TempBundle&) = delete;
  TempBundle& operator=(const TempBundle&) = delete;

  std::filesystem::path root() const { return root_; }
  std::string path() const { return root_.string(); }

  void writeInfo(std::string_view text) const { write(root_ / "Contents" / "Info", text); }
  void writeNib(const std::string& name, std::string_view text) const {
    write(root_ / "Contents" / "Resources" / (name + ".nib"), text);
  }
  static void write(const std::filesystem::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }

 private:
  std::filesystem::path root_;
};

}  // namespace lumetra::test

#endif
