// tagweave-dump: shows how the converter splits a document, one record per
// entry. Loads FILE (or standard input for "-") as the converter does.
#include "diag/dump.h"
#include "driver/load_text.h"
#include "html/splitter.h"

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <string>
#include <string_view>

int main(int argc, char* argv[]) {
  using namespace tagweave;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n",
                 argc > 0 ? argv[0] : "tagweave-dump");
    return 1;
  }
  std::string_view name = argv[1];
  int fd = name == "-" ? STDIN_FILENO : ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "can't open file %s for reading.\n", argv[1]);
    return 1;
  }
  loaded_text loaded = load_text(fd);
  if (fd != STDIN_FILENO) ::close(fd);
  int status = 0;
  if (loaded.status != load_status::complete) {
    std::fprintf(stderr, "can't read file %s.\n", argv[1]);
    status = 1;
  }
  split_result split = split_document(loaded.text);
  if (split.status != split_status::complete) {
    std::fputs("error parsing mark, bailing out\n", stderr);
    status = 1;
  }
  byte_sink out(STDOUT_FILENO);
  dump_marks(out, split.marks);
  if (!out.flush()) {
    std::fputs("can't write standard output.\n", stderr);
    status = 1;
  }
  return status;
}
