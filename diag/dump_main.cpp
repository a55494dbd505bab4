// tagweave-dump: a developer's view of how tagweave reads a document.
//
//   tagweave-dump FILE                       the early tag set's records
//   tagweave-dump --html5-tokens [--state NAME] [--last-start-tag TAG] FILE
//                                            HTML standard tokens, one per line
//   tagweave-dump --html5-tree [--encoding LABEL] FILE
//                                            the HTML standard's document tree
//
// FILE may be "-" for standard input. The formats are those of html5lib-tests,
// so other tools can read them.
#include "cli/load_text.h"
#include "cli/messages.h"
#include "diag/dump.h"
#include "diag/token_dump.h"
#include "diag/tree_dump.h"
#include "early/reader/line_ends.h"
#include "early/reader/splitter.h"
#include "html5/encoding/encoding.h"
#include "html5/tokenizer/tokenizer.h"
#include "html5/tree/parse.h"
#include "output/byte_sink.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave {
namespace {

using messages::report;

enum class view { early_records, html5_tokens, html5_tree };

struct dump_request {
  view what = view::early_records;
  html5::tokenizer_state state = html5::tokenizer_state::data;
  std::string last_start_tag;
  std::optional<std::string> encoding_label;
  std::string file;
};

constexpr std::string_view usage =
    "usage: tagweave-dump FILE\n"
    "       tagweave-dump --html5-tokens [--state NAME] [--last-start-tag TAG] "
    "FILE\n"
    "       tagweave-dump --html5-tree [--encoding LABEL] FILE\n"
    "FILE may be - for standard input.\n";

/// The request of the command line; nothing when it is unusable (reported).
std::optional<dump_request> read_request(int argc, char* argv[]) {
  enum : int { tokens = 256, tree, state, last_start_tag, encoding };
  static const option long_options[] = {
      {"html5-tokens", no_argument, nullptr, tokens},
      {"html5-tree", no_argument, nullptr, tree},
      {"state", required_argument, nullptr, state},
      {"last-start-tag", required_argument, nullptr, last_start_tag},
      {"encoding", required_argument, nullptr, encoding},
      {nullptr, 0, nullptr, 0},
  };
  dump_request request;
  bool usable = true;
  optind = 0;
  for (int opt;
       (opt = ::getopt_long(argc, argv, "+", long_options, nullptr)) != -1;) {
    switch (opt) {
      case tokens: request.what = view::html5_tokens; break;
      case tree: request.what = view::html5_tree; break;
      case last_start_tag: request.last_start_tag = optarg; break;
      case encoding: request.encoding_label = optarg; break;
      case state:
        if (auto named = html5::tokenizer_state_named(optarg)) {
          request.state = *named;
        } else {
          report("unknown tokenizer state " + std::string(optarg) + ".");
          usable = false;
        }
        break;
      default: usable = false; break;
    }
  }
  if (!usable || optind + 1 != argc) {
    std::fwrite(usage.data(), 1, usage.size(), stderr);
    return std::nullopt;
  }
  request.file = argv[optind];
  return request;
}

/// The file's bytes; nothing when it could not be read (reported, with the
/// status to exit with in `status`).
std::optional<std::string> read_file(const std::string& name, int& status) {
  bool from_stdin = name == "-";
  int fd =
      from_stdin ? STDIN_FILENO : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    report(messages::cant_open_for_reading(name));
    status = 1;
    return std::nullopt;
  }
  loaded_text loaded = load_bytes(fd);
  if (!from_stdin) ::close(fd);
  if (loaded.status == load_status::out_of_memory) {
    report(messages::no_memory_loading);
    status = 3;
    return std::nullopt;
  }
  if (loaded.status == load_status::read_error) {
    report(from_stdin ? std::string(messages::cant_read_stdin)
                      : messages::cant_read_file(name));
    status = 1;
    return std::nullopt;
  }
  return std::move(loaded.text);
}

/// The early tag set's records of `text`, the file's bytes, which the
/// loading rules are applied to first, as tagweave does. An unterminated
/// tag is reported after what was read before it.
int dump_early_records(std::string& text, byte_sink& out) {
  line_end_folder folder;
  text.resize(folder.fold(text.data(), text.size()));
  split_result split = split_document(text);
  dump_marks(out, split.marks);
  if (split.status == split_status::complete) return 0;
  report(messages::bad_mark);
  return 1;
}

/// The bytes decoded as the request says: UTF-8 for tokens, sniffed (or the
/// label given) for the tree. Nothing when the label is unknown (reported).
std::optional<std::string> decode(const dump_request& request,
                                  std::string_view bytes) {
  std::optional<std::string_view> label = request.encoding_label;
  if (request.what == view::html5_tokens) label = "utf-8";
  if (label) {
    html5::label_lookup named = html5::lookup_label(*label);
    if (!named.found && !named.known_other) {
      report(messages::unknown_encoding(*label));
      return std::nullopt;
    }
  }
  html5::decoded_input decoded = html5::decode_input(bytes, label);
  if (!decoded.unsupported.empty()) {
    report(messages::unsupported_encoding(decoded.unsupported));
  }
  return std::move(decoded.text);
}

int run(int argc, char* argv[]) {
  std::optional<dump_request> request = read_request(argc, argv);
  if (!request) return 1;
  int status = 0;
  std::optional<std::string> bytes = read_file(request->file, status);
  if (!bytes) return status;

  byte_sink out(STDOUT_FILENO);
  if (request->what == view::early_records) {
    status = dump_early_records(*bytes, out);
  } else {
    std::optional<std::string> text = decode(*request, *bytes);
    if (!text) return 1;
    std::string dump;
    if (request->what == view::html5_tokens) {
      html5::dump_tokens(*text, request->state, request->last_start_tag, dump);
    } else {
      html5::dump_tree(html5::parse_document(std::move(*text)), dump);
    }
    out.write(dump);
  }
  if (!out.flush()) {
    report(messages::cant_write_stdout);
    status = 1;
  }
  return status;
}

}  // namespace
}  // namespace tagweave

int main(int argc, char* argv[]) {
  try {
    return tagweave::run(argc, argv);
  } catch (const std::bad_alloc&) {
    tagweave::messages::report(tagweave::messages::no_memory);
    return 3;
  }
}
