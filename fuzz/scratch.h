// A scratch folder for targets that hand their input to code that reads files.
//
// The files are rewritten for every input. On a disk file system a rewrite waits for the
// file's blocks to be written back, which kept a target waiting on the disk most of the time;
// so the folder goes into memory where the system offers a place there (and TMPDIR is not
// set), else into the temporary directory. It is made once a process and removed at exit.
#ifndef LUMETRA_FUZZ_SCRATCH_H
#define LUMETRA_FUZZ_SCRATCH_H

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "finding.h"

namespace lumetra::fuzz {

inline std::filesystem::path ScratchFolder(const std::string& prefix) {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (!std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  std::string pattern = (base / (prefix + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) Finding("cannot make a scratch folder in " + base.string());
  static std::filesystem::path made;
  made = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
  });
  return made;
}

}  // namespace lumetra::fuzz

#endif
