// tagweave-dump: shows how the converter splits a document, one record per
// entry. Loads FILE (or standard input for "-") as the converter does.
#include "diag/dump.h"
#include "driver/load_text.h"
#include "driver/messages.h"
#include "html/splitter.h"

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <string>
#include <string_view>

int main(int argc, char* argv[]) {
  using namespace tagweave;
  using messages::report;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n",
                 argc > 0 ? argv[0] : "tagweave-dump");
    return 1;
  }
  std::string_view name = argv[1];
  int fd = name == "-" ? STDIN_FILENO : ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    report(messages::cant_open_for_reading(name));
    return 1;
  }
  loaded_text loaded = load_text(fd);
  if (fd != STDIN_FILENO) ::close(fd);
  int status = 0;
  if (loaded.status == load_status::out_of_memory) {
    report(messages::no_memory_loading);
    return 3;
  }
  if (loaded.status == load_status::read_error) {
    report(name == "-" ? std::string(messages::cant_read_stdin)
                       : messages::cant_read_file(name));
    status = 1;
  }
  split_result split = split_document(loaded.text);
  if (split.status != split_status::complete) {
    report(messages::bad_mark);
    status = 1;
  }
  byte_sink out(STDOUT_FILENO);
  dump_marks(out, split.marks);
  if (!out.flush()) {
    report(messages::cant_write_stdout);
    status = 1;
  }
  return status;
}
