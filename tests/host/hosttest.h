// Helpers for the player's tests: a scratch folder, running a command, making sound files.
#ifndef LUMETRA_TESTS_HOSTTEST_H
#define LUMETRA_TESTS_HOSTTEST_H

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <fstream>
#include <vector>

#include <unistd.h>

namespace hosttest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "lumetra-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) std::abort();
    path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // The names in the folder, sorted, dot files included.
  std::vector<std::string> names() const { return namesOf(path_); }
  static std::vector<std::string> namesOf(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path path_;
};

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Run {
  int status = -1;
  std::string output;  // stdout and stderr together
};

// Runs a shell command, capturing what it prints and its exit status.
inline Run run(const std::string& command) {
  Run r;
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

// Makes a sound file with the ffmpeg program from a lavfi source description and extra
// output arguments; answers whether it worked.
inline bool makeSound(const std::filesystem::path& file, const std::string& source, const std::string& args = "") {
  const auto r = run("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i " + quote(source) + " " + args + " " +
                     quote(file.string()));
  return r.status == 0;
}

// A message code as its four characters, 'vrnd' as "vrnd".
inline std::string fourcc(std::uint32_t code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((code >> shift) & 0xFF);
  return s;
}

// A 16-bit 44.1 kHz stereo WAV of `pairs` pairs; sample(i, channel) gives pair i's samples.
inline void writeWav(const std::filesystem::path& file, std::int64_t pairs,
                     const std::function<std::int16_t(std::int64_t, int)>& sample) {
  std::ofstream out(file, std::ios::binary);
  const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const auto bytes = static_cast<std::uint32_t>(pairs * 4);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);     // format chunk size
  u16(1);      // PCM
  u16(2);      // channels
  u32(44100);  // rate
  u32(44100 * 4);
  u16(4);      // bytes a pair
  u16(16);     // bits a sample
  out.write("data", 4);
  u32(bytes);
  for (std::int64_t i = 0; i < pairs; ++i) {
    u16(static_cast<std::uint16_t>(sample(i, 0)));
    u16(static_cast<std::uint16_t>(sample(i, 1)));
  }
}

}  // namespace hosttest

#endif
