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

/// A document of many lines, with runs of line ends and NUL bytes, which
/// loading keeps as they are: the library folds them.
std::string make_large_document() {
  std::string doc;
  for (int i = 0; i < 40000; ++i) {
    std::string line = "line " + std::to_string(i) + std::string(i % 7, 'x');
    doc += line + std::string(static_cast<std::size_t>(1 + i % 4), '\n');
    if (i % 5 == 0) doc += "\r\r\0"s;
  }
  return doc;
}

TEST(LoadBytes, ReadsALargeFileWhole) {
  const std::string doc = make_large_document();
  ASSERT_GT(doc.size(), 512u * 1024u);
  testing::temp_dir dir;
  dir.write("big.html", doc);
  int fd = ::open((dir.path() / "big.html").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  loaded_text loaded = load_bytes(fd);
  EXPECT_EQ(loaded.status, load_status::complete);
  EXPECT_TRUE(loaded.text == doc);
  EXPECT_EQ(loaded.text.size(), doc.size());
  // The descriptor is left open for its owner.
  EXPECT_EQ(::close(fd), 0);
}

TEST(LoadBytes, ReadsAPipeToItsEnd) {
  const std::string doc = make_large_document();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // Small, uneven writes: the pipe gives the text in many short reads.
  std::thread writer([&doc, out = fds[1]] {
    std::size_t done = 0;
    for (std::size_t step = 1; done < doc.size(); step = step % 4093 + 7) {
      std::size_t size = std::min(step, doc.size() - done);
      ssize_t put = ::write(out, doc.data() + done, size);
      if (put <= 0) break;
      done += static_cast<std::size_t>(put);
    }
    ::close(out);
  });
  loaded_text loaded = load_bytes(fds[0]);
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(loaded.status, load_status::complete);
  EXPECT_TRUE(loaded.text == doc);
  EXPECT_EQ(loaded.text.size(), doc.size());
}

TEST(LoadBytes, EmptyInputIsTheEmptyString) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  loaded_text loaded = load_bytes(fds[0]);
  ::close(fds[0]);
  EXPECT_EQ(loaded.status, load_status::complete);
  EXPECT_EQ(loaded.text, "");
}

TEST(LoadBytes, ADirectoryIsAReadError) {
  testing::temp_dir dir;
  int fd = ::open(dir.path().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  loaded_text loaded = load_bytes(fd);
  ::close(fd);
  EXPECT_EQ(loaded.status, load_status::read_error);
  EXPECT_EQ(loaded.text, "");
}

}  // namespace
}  // namespace tagweave
