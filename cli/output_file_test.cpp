#include "cli/output_file.h"

#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <set>
#include <string>

namespace tagweave {
namespace {

namespace fs = std::filesystem;
using testing::temp_dir;

/// The names in `folder`, hidden ones included.
std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

void write_all(int fd, const std::string& text) {
  ASSERT_EQ(::write(fd, text.data(), text.size()),
            static_cast<ssize_t>(text.size()));
}

/// An input to compare the output with: a file of its own.
struct input_file {
  explicit input_file(const temp_dir& dir) {
    dir.write("in.html", "<p>x");
    fd = ::open((dir.path() / "in.html").c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~input_file() { ::close(fd); }
  int fd;
};

TEST(OutputFile, AnExistingFileIsReplacedOnlyWhenFinished) {
  temp_dir dir;
  input_file input(dir);
  dir.write("out.tex", "old");
  {
    opened_output opened =
        open_output_file((dir.path() / "out.tex").string(), input.fd);
    ASSERT_EQ(opened.outcome, output_opening::opened);
    write_all(opened.file.fd(), "new");
    EXPECT_EQ(dir.read("out.tex"), "old");
    EXPECT_EQ(names_in(dir.path()).size(), 3u) << "a new file beside it";
    EXPECT_TRUE(opened.file.finish());
  }
  EXPECT_EQ(dir.read("out.tex"), "new");
  EXPECT_EQ(names_in(dir.path()),
            (std::set<std::string>{"in.html", "out.tex"}));
}

TEST(OutputFile, AnUnfinishedFileIsRemovedAndTheOldOneKept) {
  temp_dir dir;
  input_file input(dir);
  dir.write("out.tex", "old");
  {
    opened_output opened =
        open_output_file((dir.path() / "out.tex").string(), input.fd);
    ASSERT_EQ(opened.outcome, output_opening::opened);
    write_all(opened.file.fd(), "half");
  }
  EXPECT_EQ(dir.read("out.tex"), "old");
  EXPECT_EQ(names_in(dir.path()),
            (std::set<std::string>{"in.html", "out.tex"}));
}

TEST(OutputFile, AMovedFileRemovesOnlyOnce) {
  temp_dir dir;
  input_file input(dir);
  output_file kept;
  {
    opened_output opened =
        open_output_file((dir.path() / "out.tex").string(), input.fd);
    ASSERT_EQ(opened.outcome, output_opening::opened);
    kept = std::move(opened.file);
  }
  write_all(kept.fd(), "whole");
  EXPECT_TRUE(kept.finish());
  EXPECT_EQ(dir.read("out.tex"), "whole");
}

// The output's place is taken by a folder while the document is written:
// the rename fails, and the new file must not stay behind.
TEST(OutputFile, AFailedRenameLeavesNoNewFile) {
  temp_dir dir;
  input_file input(dir);
  dir.write("out.tex", "old");
  opened_output opened =
      open_output_file((dir.path() / "out.tex").string(), input.fd);
  ASSERT_EQ(opened.outcome, output_opening::opened);
  write_all(opened.file.fd(), "new");
  fs::remove(dir.path() / "out.tex");
  fs::create_directory(dir.path() / "out.tex");
  EXPECT_FALSE(opened.file.finish());
  EXPECT_TRUE(fs::is_directory(dir.path() / "out.tex"));
  EXPECT_EQ(names_in(dir.path()),
            (std::set<std::string>{"in.html", "out.tex"}));
}

TEST(OutputFile, TheInputItselfIsRefused) {
  temp_dir dir;
  input_file input(dir);
  fs::create_hard_link(dir.path() / "in.html", dir.path() / "out.tex");
  opened_output opened =
      open_output_file((dir.path() / "out.tex").string(), input.fd);
  EXPECT_EQ(opened.outcome, output_opening::is_input);
  EXPECT_FALSE(opened.file.is_open());
  EXPECT_EQ(dir.read("in.html"), "<p>x");
  EXPECT_EQ(names_in(dir.path()),
            (std::set<std::string>{"in.html", "out.tex"}));
}

}  // namespace
}  // namespace tagweave
