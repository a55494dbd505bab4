#include "output/byte_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace tagweave {
namespace {

/// Writes that straddle the buffer: small pieces, single bytes, a piece
/// larger than the whole buffer.
void write_mixed(byte_sink& sink, std::string& expected) {
  for (int i = 0; i < 5000; ++i) {
    std::string piece = "piece " + std::to_string(i) + ";";
    sink.write(piece);
    sink.put('\n');
    expected += piece + '\n';
  }
  std::string large(200 * 1024, 'L');
  sink.write(large);
  expected += large;
  sink.write("");
  sink.put('!');
  expected += '!';
}

TEST(ByteSink, EveryTargetGetsTheSameBytesInOrder) {
  std::string expected;
  byte_sink memory;
  write_mixed(memory, expected);
  EXPECT_EQ(memory.contents(), expected);

  std::string appended = "already there|";
  {
    byte_sink into(appended);
    std::string ignored;
    write_mixed(into, ignored);
    into.flush();
  }
  EXPECT_EQ(appended, "already there|" + expected);

  std::vector<std::string> pieces;
  byte_sink to_function(
      [&](std::string_view piece) { pieces.emplace_back(piece); });
  std::string ignored;
  write_mixed(to_function, ignored);
  EXPECT_TRUE(to_function.flush());
  std::string joined;
  for (const std::string& piece : pieces) {
    EXPECT_FALSE(piece.empty());
    joined += piece;
  }
  EXPECT_EQ(joined, expected);
}

TEST(ByteSink, ADescriptorGetsEverythingWhenFlushedOrDestroyed) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string expected;
  std::string received;
  std::thread reader([&] {
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) {
      received.append(buffer, static_cast<std::size_t>(got));
    }
  });
  {
    byte_sink sink(fds[1]);
    write_mixed(sink, expected);
    sink.put('.');  // left to the destructor
    expected += '.';
  }
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_EQ(received, expected);
}

TEST(ByteSink, AWriteErrorIsRemembered) {
  int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  byte_sink sink(fd);
  sink.write("x");
  EXPECT_FALSE(sink.flush());
  sink.write("y");
  EXPECT_FALSE(sink.flush()) << "a later write does not clear the failure";
  ::close(fd);
}

}  // namespace
}  // namespace tagweave
