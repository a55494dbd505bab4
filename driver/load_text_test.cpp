#include "driver/load_text.h"

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

struct fold_case {
  std::vector<std::string> chunks;  // handed to one folder in turn
  std::string expected;
};

std::string describe(const std::vector<std::string>& chunks) {
  std::string text;
  for (const std::string& chunk : chunks) {
    text += '[';
    for (char c : chunk) {
      switch (c) {
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\0': text += "\\0"; break;
        default: text += c;
      }
    }
    text += ']';
  }
  return text;
}

TEST(LineEndFolder, FoldsRunsOfTheSameLineEndAndDropsNuls) {
  const std::vector<fold_case> cases = {
      {{""}, ""},
      {{"x\n\n\ny"}, "x\ny"},
      {{"\n\n"}, "\n"},
      {{"a\r\r\rb"}, "a\rb"},
      // Alternating line ends are not runs of the same character.
      {{"a\r\n\r\nb"}, "a\r\n\r\nb"},
      {{"a\n\r\r\n\nb"}, "a\n\r\nb"},
      {{"a\n\r\n\r\n\nb"}, "a\n\r\n\r\nb"},
      // Only line ends fold.
      {{"  \t\taabb\xff\xff"}, "  \t\taabb\xff\xff"},
      {{"caf\xc3\xa9\n"}, "caf\xc3\xa9\n"},
      {{"\x01\x01\x0b\x0b\x0c\x0c"}, "\x01\x01\x0b\x0b\x0c\x0c"},
      {{"\n\x0b\n\r\x0c\r"}, "\n\x0b\n\r\x0c\r"},
      // A NUL is dropped, but it is the last character read, so the line
      // feed after it does not repeat the one before it.
      {{"\n\0\n"s}, "\n\n"},
      {{"\r\0\r"s}, "\r\r"},
      {{"a\0\0b"s}, "ab"},
      {{"\0"s}, ""},
      {{"\n\0\n\n\0"s}, "\n\n"},
      // A dropped line end is still the last character read.
      {{"\n\n\0\n"s}, "\n\n"},
      // Folding carries across chunks, empty ones included.
      {{"\n", "\n"}, "\n"},
      {{"a\r", "", "\r\nb"}, "a\r\nb"},
      {{"a\n", "\n", "\n", "b"}, "a\nb"},
      {{"\n", "\0"s, "\n"}, "\n\n"},
      {{"x\r", "\n"}, "x\r\n"},
  };
  for (const fold_case& c : cases) {
    SCOPED_TRACE(describe(c.chunks));
    std::string text;
    line_end_folder folder;
    for (const std::string& chunk : c.chunks) folder.append(text, chunk);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(LineEndFolder, KeepsWhatTheTextAlreadyHolds) {
  std::string text = "kept\n";
  line_end_folder folder;
  // A fresh folder has read nothing yet: its first line feed is kept even
  // though the text before it ends with one.
  folder.append(text, "\nmore");
  EXPECT_EQ(text, "kept\n\nmore");
}

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
