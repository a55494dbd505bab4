#include "cli/load_text.h"

#include "testing/run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace tagweave {
namespace {

using namespace std::string_literals;

/// A document of many lines, each followed by a run of `run` line feeds, and
/// what loading makes of it.
struct large_document {
  std::string raw;
  std::string folded;
};

large_document make_large_document() {
  large_document doc;
  // Odd line lengths move the runs across every read boundary.
  for (int i = 0; i < 40000; ++i) {
    std::string line = "line " + std::to_string(i) + std::string(i % 7, 'x');
    int run = 1 + i % 4;
    doc.raw += line + std::string(static_cast<std::size_t>(run), '\n');
    doc.folded += line + '\n';
    if (i % 5 == 0) {
      doc.raw += "\r\r\0"s;
      doc.folded += '\r';
    }
  }
  return doc;
}

TEST(LoadText, ReadsALargeFileWhole) {
  const large_document doc = make_large_document();
  ASSERT_GT(doc.raw.size(), 512u * 1024u);
  testing::temp_dir dir;
  dir.write("big.html", doc.raw);
  int fd = ::open((dir.path() / "big.html").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  loaded_text loaded = load_text(fd);
  EXPECT_EQ(loaded.status, load_status::complete);
  EXPECT_TRUE(loaded.text == doc.folded);
  EXPECT_EQ(loaded.text.size(), doc.folded.size());
  // The descriptor is left open for its owner.
  EXPECT_EQ(::close(fd), 0);
}

TEST(LoadText, ReadsAPipeToItsEnd) {
  const large_document doc = make_large_document();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // Small, uneven writes put the read boundaries inside line-end runs.
  std::thread writer([&doc, out = fds[1]] {
    std::size_t done = 0;
    for (std::size_t step = 1; done < doc.raw.size(); step = step % 4093 + 7) {
      std::size_t size = std::min(step, doc.raw.size() - done);
      ssize_t put = ::write(out, doc.raw.data() + done, size);
      if (put <= 0) break;
      done += static_cast<std::size_t>(put);
    }
    ::close(out);
  });
  loaded_text loaded = load_text(fds[0]);
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(loaded.status, load_status::complete);
  EXPECT_TRUE(loaded.text == doc.folded);
  EXPECT_EQ(loaded.text.size(), doc.folded.size());
}

TEST(LoadText, EmptyInputIsTheEmptyString) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  loaded_text loaded = load_text(fds[0]);
  ::close(fds[0]);
  EXPECT_EQ(loaded.status, load_status::complete);
  EXPECT_EQ(loaded.text, "");
}

TEST(LoadText, ADirectoryIsAReadError) {
  testing::temp_dir dir;
  int fd = ::open(dir.path().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  loaded_text loaded = load_text(fd);
  ::close(fd);
  EXPECT_EQ(loaded.status, load_status::read_error);
  EXPECT_EQ(loaded.text, "");
}

}  // namespace
}  // namespace tagweave
