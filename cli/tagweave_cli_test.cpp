// End-to-end runs of the tagweave command: each case sets up a fresh
// directory, runs the built program in it and compares the files it leaves,
// standard output, standard error and the exit status byte for byte.
#include "testing/run_program.h"
#include "testing/test_text.h"
#include "testing/tiny_png.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tagweave {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::program_call;
using testing::program_run;
using testing::temp_dir;

const std::string usage =
    "usage:\n"
    "\ttagweave [opt ...] [file ...]\n"
    "\twhere opt is one of \n"
    "\t\t-n (number sections)\n"
    "\t\t-t string (set title to string)\n"
    "\t\t-a string (set author to string)\n"
    "\t\t-p (page break after title/table of contents)\n"
    "\t\t-c (table of contents)\n"
    "\t\t-h string (string appears after \\begin{document})\n"
    "\t\t-f string (string appears before \\end{document})\n"
    "\t\t-o (specify LaTeX \\documentstyle options\n"
    "\t\t-s (write to stdout)\n"
    "\tIf file is - then input is taken from stdin and written to stdout.\n";

const std::string help =
    "Usage: tagweave [OPTION]... FILE...\n"
    "Convert each HTML FILE to a LaTeX document: page.html to page.tex.\n"
    "A FILE of - is read from standard input and written to standard output.\n"
    "\n"
    "  -n, --numbered           number the sections\n"
    "  -t, --title=STRING       set the title to STRING\n"
    "  -a, --author=STRING      set the author to STRING\n"
    "  -p, --page-break         page break after the title and the contents\n"
    "  -c, --contents           write a table of contents\n"
    "  -h, --header=STRING      STRING appears after \\begin{document}\n"
    "  -f, --footer=STRING      STRING appears before \\end{document}\n"
    "  -o, --style=OPTIONS      the \\documentstyle options: [12pt]{report}\n"
    "  -s, --stdout             write every document to standard output\n"
    "      --output=FILE        write the one document to FILE\n"
    "      --html5              read today's HTML, write LaTeX2e for pdflatex\n"
    "      --encoding=LABEL     with --html5: the input's encoding\n"
    "      --link-urls=WHERE    with --html5: a link's URL in a footnote or "
    "none\n"
    "      --whole-page         with --html5: navigation and site chrome too\n"
    "      --help               display this help and exit\n"
    "      --version            output version information and exit\n"
    "\n"
    "Exit status: 0 when every document was written whole, 1 otherwise, 3 "
    "when\n"
    "memory ran out.\n";

using testing::banner;
using testing::default_document;
using testing::default_preamble;

/// Something in the test directory: a file with its contents, a directory
/// (read-only once everything is made, if asked), a symbolic or hard link
/// with its target, or a FIFO with what a writer will send through it.
struct entry {
  enum kind_t {
    file,
    directory,
    read_only_directory,
    symlink,
    hard_link,
    fifo
  } kind;
  std::string name;
  std::string contents;  // file contents, link target or FIFO data
};

entry file(std::string name, std::string contents) {
  return {entry::file, std::move(name), std::move(contents)};
}
entry directory(std::string name) {
  return {entry::directory, std::move(name), ""};
}
entry read_only_directory(std::string name) {
  return {entry::read_only_directory, std::move(name), ""};
}
entry symlink(std::string name, std::string target) {
  return {entry::symlink, std::move(name), std::move(target)};
}
entry hard_link(std::string name, std::string target) {
  return {entry::hard_link, std::move(name), std::move(target)};
}
entry fifo(std::string name, std::string data) {
  return {entry::fifo, std::move(name), std::move(data)};
}

struct cli_case {
  std::string name{};
  std::vector<std::string> args{};
  std::vector<entry> setup{};
  std::string input{};        // standard input
  std::string stdout_path{};  // empty: standard output is captured
  std::vector<int> closed_fds{};
  bool stderr_terminal = false;         // standard error is a terminal
  std::size_t address_space_limit = 0;  // bytes; 0: no limit
  std::size_t file_size_limit = 0;      // bytes; 0: no limit
  std::string out{};
  std::string err{};
  int status = 0;
  /// Files the run must create or overwrite; nothing else may change.
  std::vector<entry> created{};
};

/// Everything under `root`, by relative path: a file as its contents, a
/// directory or link marked as such.
using tree = std::map<std::string, std::string>;

std::string describe(const entry& e) {
  switch (e.kind) {
    case entry::file: return e.contents;
    case entry::directory:
    case entry::read_only_directory: return "<directory>";
    case entry::symlink: return "<link to " + e.contents + ">";
    case entry::hard_link: return "";  // listed under its own contents
    case entry::fifo: return "<fifo>";
  }
  return "";
}

tree snapshot(const fs::path& root) {
  tree result;
  for (auto it = fs::recursive_directory_iterator(root);
       it != fs::recursive_directory_iterator(); ++it) {
    std::string name = it->path().lexically_relative(root).string();
    if (it->is_symlink()) {
      result[name] = describe(symlink(name, fs::read_symlink(it->path())));
    } else if (it->is_directory()) {
      result[name] = describe(directory(name));
    } else if (it->is_fifo()) {
      result[name] = describe(fifo(name, ""));
    } else {
      std::ifstream in(it->path(), std::ios::binary);
      std::ostringstream contents;
      contents << in.rdbuf();
      result[name] = contents.str();
    }
  }
  return result;
}

/// `text` cut to its first bytes, so that a failing case with a large file
/// prints a readable line.
std::string abridged(const std::string& text) {
  constexpr std::size_t shown = 120;
  if (text.size() <= shown) return testing::quoted(text);
  return testing::quoted(text.substr(0, shown)) + "... (" +
         std::to_string(text.size()) + " bytes)";
}

/// What `t` holds under `name`; nothing when it holds nothing.
std::optional<std::string> held(const tree& t, const std::string& name) {
  auto it = t.find(name);
  if (it == t.end()) return std::nullopt;
  return it->second;
}

/// One line per name whose entry differs between the folder found and the
/// one expected; empty when they agree.
std::string differences(const tree& found, const tree& expected) {
  std::set<std::string> names;
  for (const auto& [name, contents] : found) names.insert(name);
  for (const auto& [name, contents] : expected) names.insert(name);
  auto shown = [](const std::optional<std::string>& entry) {
    return entry ? abridged(*entry) : "nothing";
  };
  std::string result;
  for (const std::string& name : names) {
    std::optional<std::string> is = held(found, name);
    std::optional<std::string> should = held(expected, name);
    if (is == should) continue;
    result += name + ": " + shown(is) + ", expected " + shown(should) + "\n";
  }
  return result;
}

void make(const temp_dir& dir, const entry& e) {
  switch (e.kind) {
    case entry::file: dir.write(e.name, e.contents); break;
    case entry::directory:
    case entry::read_only_directory:
      fs::create_directories(dir.path() / e.name);
      break;
    case entry::symlink:
      fs::create_symlink(e.contents, dir.path() / e.name);
      break;
    case entry::hard_link:
      fs::create_hard_link(dir.path() / e.contents, dir.path() / e.name);
      break;
    case entry::fifo:
      ASSERT_EQ(::mkfifo((dir.path() / e.name).c_str(), 0600), 0);
      break;
  }
}

/// A process that writes to a FIFO as `cat data > fifo &` would. Killed if
/// still waiting for a reader when the case ends.
class fifo_writer {
 public:
  fifo_writer(const fs::path& path, const std::string& data) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0 || ::write(fd, data.data(), data.size()) < 0) ::_exit(1);
    ::_exit(0);
  }
  ~fifo_writer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  fifo_writer(const fifo_writer&) = delete;
  fifo_writer& operator=(const fifo_writer&) = delete;

 private:
  pid_t pid_;
};

/// Counts how often a file is opened for reading and closed again. A FIFO
/// opened twice by a reader loses what its writer sent or waits for a writer
/// that is gone, depending on timing; the count shows the fault every time.
/// (Closes are counted rather than opens: inotify merges an event with an
/// identical one right before it, and two opens may follow each other.)
class open_counter {
 public:
  explicit open_counter(const fs::path& path)
      : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0 || ::inotify_add_watch(fd_, path.c_str(),
                                       IN_OPEN | IN_CLOSE_NOWRITE) < 0) {
      ADD_FAILURE() << "cannot watch " << path;
    }
  }
  ~open_counter() { ::close(fd_); }
  open_counter(const open_counter&) = delete;
  open_counter& operator=(const open_counter&) = delete;

  /// Reads that ended since the last call.
  int reads() {
    int count = 0;
    alignas(inotify_event) char events[4096];
    ssize_t got;
    while ((got = ::read(fd_, events, sizeof events)) > 0) {
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->mask & IN_CLOSE_NOWRITE) ++count;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return count;
  }

 private:
  int fd_;
};

/// Whether the build runs under AddressSanitizer, which reserves far more
/// address space than any limit a test could set.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool address_sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool address_sanitized = true;
#else
constexpr bool address_sanitized = false;
#endif
#else
constexpr bool address_sanitized = false;
#endif

/// Lowers this process's file size limit, which the program it starts
/// inherits, while it lives: a write past the limit fails as on a full
/// disk, without a full file system to hand.
class file_size_limit {
 public:
  explicit file_size_limit(std::size_t bytes) {
    if (bytes == 0 || ::getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    rlimit lowered{static_cast<rlim_t>(bytes), saved_.rlim_max};
    set_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    if (!set_) ADD_FAILURE() << "cannot limit the file size";
  }
  ~file_size_limit() {
    if (set_) ::setrlimit(RLIMIT_FSIZE, &saved_);
  }
  file_size_limit(const file_size_limit&) = delete;
  file_size_limit& operator=(const file_size_limit&) = delete;

 private:
  rlimit saved_{};
  bool set_ = false;
};

/// Runs a program with the capabilities it is told to drop.
constexpr const char* setpriv = "/usr/bin/setpriv";

/// How `c` runs the program: as root, through setpriv without capabilities
/// when the case has a read-only folder, which is then read-only to the
/// program too. Empty when that cannot be done here.
std::optional<std::pair<std::string, std::vector<std::string>>> command_for(
    const cli_case& c) {
  bool read_only = std::any_of(c.setup.begin(), c.setup.end(), [](auto& e) {
    return e.kind == entry::read_only_directory;
  });
  if (!read_only || ::geteuid() != 0) {
    return std::pair{std::string(TAGWEAVE_BIN), c.args};
  }
  if (::access(setpriv, X_OK) != 0) return std::nullopt;
  std::vector<std::string> args = {"--inh-caps=-all", "--bounding-set=-all",
                                   TAGWEAVE_BIN};
  args.insert(args.end(), c.args.begin(), c.args.end());
  return std::pair{std::string(setpriv), std::move(args)};
}

void run_case(const cli_case& c) {
  SCOPED_TRACE(c.name);
  if (c.address_space_limit != 0 && address_sanitized) {
    std::printf("skipped \"%s\": memory limits under AddressSanitizer\n",
                c.name.c_str());
    return;
  }
  auto command = command_for(c);
  if (!command) {
    std::printf("skipped \"%s\": no setpriv to drop root's rights\n",
                c.name.c_str());
    return;
  }
  temp_dir dir;
  for (const entry& e : c.setup) make(dir, e);
  for (const entry& e : c.setup) {
    if (e.kind != entry::read_only_directory) continue;
    fs::permissions(dir.path() / e.name, fs::perms::owner_write,
                    fs::perm_options::remove);
  }
  tree expected_files = snapshot(dir.path());
  for (const entry& e : c.created) expected_files[e.name] = describe(e);
  // Each FIFO gets a writer, and a count of the program's reads of it.
  std::vector<std::unique_ptr<fifo_writer>> writers;
  std::vector<std::unique_ptr<open_counter>> fifo_reads;
  for (const entry& e : c.setup) {
    if (e.kind != entry::fifo) continue;
    fifo_reads.push_back(std::make_unique<open_counter>(dir.path() / e.name));
    writers.push_back(
        std::make_unique<fifo_writer>(dir.path() / e.name, e.contents));
  }

  program_run run;
  {
    file_size_limit limit(c.file_size_limit);
    run = testing::run_program({.program = command->first,
                                .args = command->second,
                                .argv0 = "tagweave",
                                .directory = dir.path(),
                                .input = c.input,
                                .stdout_path = c.stdout_path,
                                .closed_fds = c.closed_fds,
                                .stderr_terminal = c.stderr_terminal,
                                .address_space_limit = c.address_space_limit});
  }
  writers.clear();
  for (auto& counter : fifo_reads) {
    EXPECT_EQ(counter->reads(), 1) << "a FIFO opened more than once";
  }
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(differences(snapshot(dir.path()), expected_files), "");
}

void run_cases(const std::vector<cli_case>& cases) {
  for (const cli_case& c : cases) run_case(c);
}

TEST(TagweaveCommandLine, UnusableCommandLinesPrintUsageAndTouchNoFile) {
  const std::vector<entry> page = {file("page.html", "Text\n")};
  run_cases({
      {.name = "no arguments", .err = usage, .status = 1},
      {.name = "options only",
       .args = {"-n", "-s", "-t", "Title"},
       .err = usage,
       .status = 1},
      {.name = "--link-urls takes footnote or none",
       .args = {"--html5", "--link-urls=all", "page.html"},
       .setup = page,
       .err =
           "tagweave: --link-urls takes footnote or none, not 'all'\n" + usage,
       .status = 1},
      {.name = "unknown option before a file",
       .args = {"-x", "page.html"},
       .setup = page,
       .err = "tagweave: invalid option -- 'x'\n" + usage,
       .status = 1},
      {.name = "every unknown option is diagnosed",
       .args = {"-x", "-n", "-y", "page.html"},
       .setup = page,
       .err = "tagweave: invalid option -- 'x'\n"
              "tagweave: invalid option -- 'y'\n" +
              usage,
       .status = 1},
      {.name = "unknown option letter among grouped flags",
       .args = {"-nqc", "page.html"},
       .setup = page,
       .err = "tagweave: invalid option -- 'q'\n" + usage,
       .status = 1},
      {.name = "-t as the last word",
       .args = {"-t"},
       .err = "tagweave: option requires an argument -- 't'\n" + usage,
       .status = 1},
      {.name = "-o as the last word after a flag",
       .args = {"-n", "-o"},
       .err = "tagweave: option requires an argument -- 'o'\n" + usage,
       .status = 1},
  });
}

TEST(TagweaveCommandLine, HelpAndVersionGoToStandardOutput) {
  run_cases({
      {.name = "--help", .args = {"--help"}, .out = help},
      {.name = "--help with more words",
       .args = {"--help", "page.html"},
       .out = help},
      {.name = "--version",
       .args = {"--version"},
       .out = "tagweave " + std::string(version()) + "\n"},
  });
}

TEST(TagweaveCommandLine, LongOptions) {
  const std::vector<entry> page = {file("page.html", "Text\n")};
  run_cases({
      {.name = "--help among other options",
       .args = {"-n", "--title=T", "--help", "page.html"},
       .setup = page,
       .out = help},
      {.name = "--version after an option",
       .args = {"-s", "--version"},
       .out = "tagweave " + std::string(version()) + "\n"},
      {.name = "--stdout writes no file",
       .args = {"--stdout", "page.html"},
       .setup = page,
       .out = default_document("Text\n")},
      {.name = "--help after a bad option: the command line is unusable",
       .args = {"-x", "--help"},
       .err = "tagweave: invalid option -- 'x'\n" + usage,
       .status = 1},
      {.name = "--help after a file name is a file name",
       .args = {"page.html", "--help"},
       .setup = page,
       .err = "can't open file --help.html for reading.\n",
       .status = 1,
       .created = {file("page.tex", default_document("Text\n"))}},
      {.name = "unknown long option",
       .args = {"--bogus", "page.html"},
       .setup = page,
       .err = "tagweave: unrecognized option '--bogus'\n" + usage,
       .status = 1},
      {.name = "long option without its argument",
       .args = {"--title"},
       .err = "tagweave: option '--title' requires an argument\n" + usage,
       .status = 1},
      {.name = "a flag given an argument",
       .args = {"--stdout=yes", "page.html"},
       .setup = page,
       .err = "tagweave: option '--stdout' doesn't allow an argument\n" + usage,
       .status = 1},
  });
}

TEST(TagweaveCommandLine, LongOptionsAreTheShortOnes) {
  struct alias_case {
    std::vector<std::string> long_form;
    std::vector<std::string> short_form;
  };
  const std::vector<alias_case> cases = {
      {{"--numbered"}, {"-n"}},
      {{"--title", "T & U"}, {"-t", "T & U"}},
      {{"--title=T & U"}, {"-t", "T & U"}},
      {{"--author=A"}, {"-a", "A"}},
      {{"--page-break", "--contents", "--title=T"}, {"-p", "-c", "-t", "T"}},
      {{"--header=\\relax "}, {"-h", "\\relax "}},
      {{"--footer", "% end\n"}, {"-f", "% end\n"}},
      {{"--style=[12pt]{report}"}, {"-o", "[12pt]{report}"}},
      {{"--num", "--cont"}, {"-n", "-c"}},  // unambiguous prefixes
  };
  const std::string input = "<h1>A</h1><p>x\n";
  for (const alias_case& c : cases) {
    SCOPED_TRACE(c.long_form.front());
    auto run_with = [&](std::vector<std::string> args) {
      args.push_back("-");
      return testing::run_program(
          {.program = TAGWEAVE_BIN, .args = args, .input = input});
    };
    program_run by_long = run_with(c.long_form);
    program_run by_short = run_with(c.short_form);
    EXPECT_EQ(by_long.out, by_short.out);
    EXPECT_EQ(by_long.err, "");
    EXPECT_EQ(by_long.status, 0);
  }
}

TEST(TagweaveCommandLine, OptionScanningStopsAtTheFirstFileName) {
  const std::string heading = "<h1>Intro</h1>\n";
  run_cases({
      {.name = "-n after a file is a file argument",
       .args = {"page.html", "-n"},
       .setup = {file("page.html", heading)},
       .err = "can't open file -n.html for reading.\n",
       .status = 1,
       .created = {file("page.tex", default_document("\\section*{Intro}"))}},
      {.name = "-n after a file names an existing file",
       .args = {"page.html", "-n"},
       .setup = {file("page.html", heading), file("-n", "dash n\n")},
       .created = {file("page.tex", default_document("\\section*{Intro}")),
                   file("-n.tex", default_document("dash n\n"))}},
      {.name = "-- ends the options",
       .args = {"-n", "--", "-s"},
       .setup = {file("-s", heading)},
       .created = {file("-s.tex", default_document("\\section{Intro}"))}},
      {.name = "an option's argument may begin with a hyphen",
       .args = {"-t", "-s", "page.html"},
       .setup = {file("page.html", "x\n")},
       .created = {file("page.tex", banner + "\\documentstyle{article}\n"
                                             "\\begin{document}\n"
                                             "\\title{-s}\n"
                                             "\\author{}\n"
                                             "\\maketitle\n"
                                             "x\n"
                                             "\\end{document}\n")}},
  });
}

TEST(TagweaveCommandLine, DerivesInputAndOutputNames) {
  run_cases({
      {.name = "page.html",
       .args = {"page.html"},
       .setup = {file("page.html", "from page.html\n")},
       .created = {file("page.tex", default_document("from page.html\n"))}},
      {.name = "page.html missing: no second .html",
       .args = {"page.html"},
       .err = "can't open file page.html for reading.\n",
       .status = 1},
      {.name = "page exists",
       .args = {"page"},
       .setup = {file("page", "from page\n"),
                 file("page.html", "from page.html\n")},
       .created = {file("page.tex", default_document("from page\n"))}},
      {.name = "page does not exist",
       .args = {"page"},
       .setup = {file("page.html", "from page.html\n")},
       .created = {file("page.tex", default_document("from page.html\n"))}},
      {.name = "neither page nor page.html",
       .args = {"page"},
       .err = "can't open file page.html for reading.\n",
       .status = 1},
      {.name = "page.htm does not exist",
       .args = {"page.htm"},
       .setup = {file("page.htm.html", "from page.htm.html\n")},
       .created = {file("page.htm.tex",
                        default_document("from page.htm.html\n"))}},
      {.name = "page.htm exists",
       .args = {"page.htm"},
       .setup = {file("page.htm", "from page.htm\n")},
       .created = {file("page.htm.tex", default_document("from page.htm\n"))}},
      {.name = "page.HTML: the suffix is case-sensitive",
       .args = {"page.HTML"},
       .setup = {file("page.HTML", "upper\n")},
       .created = {file("page.HTML.tex", default_document("upper\n"))}},
      {.name = "old.d/page: the dot is in the directory name",
       .args = {"old.d/page"},
       .setup = {directory("old.d"), file("old.d/page.html", "in old.d\n")},
       .created = {file("old.d/page.tex", default_document("in old.d\n"))}},
      {.name = "a.html.html loses only the last .html",
       .args = {"a.html.html"},
       .setup = {file("a.html.html", "twice\n")},
       .created = {file("a.html.tex", default_document("twice\n"))}},
      {.name = "the empty argument, nothing to read",
       .args = {""},
       .err = "can't open file .html for reading.\n",
       .status = 1},
      {.name = "the empty argument reads .html and writes .tex",
       .args = {""},
       .setup = {file(".html", "hidden\n")},
       .created = {file(".tex", default_document("hidden\n"))}},
  });
}

TEST(TagweaveCommandLine, HyphenIsStandardInputAndOutput) {
  run_cases({
      {.name = "lone - without -s",
       .args = {"-"},
       .input = "x &lt; y\n",
       .out = default_document("x $<$ y\n")},
      {.name = "- with -s",
       .args = {"-s", "-"},
       .input = "x\n",
       .out = default_document("x\n")},
      {.name = "- beside a named file without -s",
       .args = {"page.html", "-"},
       .setup = {file("page.html", "named\n")},
       .input = "piped\n",
       .out = default_document("piped\n"),
       .created = {file("page.tex", default_document("named\n"))}},
      {.name = "- twice: the second finds standard input at its end",
       .args = {"-", "-"},
       .input = "once\n",
       .out = default_document("once\n") + default_document("")},
      {.name = "-s interleaves named files and standard input in order",
       .args = {"-s", "a.html", "-", "b"},
       .setup = {file("a.html", "A\n"), file("b.html", "B\n")},
       .input = "S\n",
       .out = default_document("A\n") + default_document("S\n") +
              default_document("B\n")},
  });
}

TEST(TagweaveCommandLine, ToStandardOutputCreatesNoFiles) {
  run_cases({
      {.name = "-s with two files",
       .args = {"-s", "a.html", "b.html"},
       .setup = {file("a.html", "first\n"), file("b.html", "second\n")},
       .out = default_document("first\n") + default_document("second\n")},
  });
}

TEST(TagweaveCommandLine, LoadingFoldsLineEndsAndDropsNuls) {
  run_cases({
      {.name = "line-end runs and NULs",
       .args = {"-"},
       .input = "a\n\n\nb\r\r\rc\r\n\r\nd\0e\n\0\nf\n"s,
       .out = default_document("a\nb\rc\r\n\r\nde\n\nf\n")},
  });
}

TEST(TagweaveCommandLine, FailedArgumentsCostThemselvesAndTheExitStatus) {
  run_cases({
      {.name = "missing second file, with .html",
       .args = {"a.html", "missing.html"},
       .setup = {file("a.html", "A\n")},
       .err = "can't open file missing.html for reading.\n",
       .status = 1,
       .created = {file("a.tex", default_document("A\n"))}},
      {.name = "missing second file, without .html",
       .args = {"a.html", "missing"},
       .setup = {file("a.html", "A\n")},
       .err = "can't open file missing.html for reading.\n",
       .status = 1,
       .created = {file("a.tex", default_document("A\n"))}},
      {.name = "missing first file, later ones converted",
       .args = {"missing", "b.html"},
       .setup = {file("b.html", "B\n")},
       .err = "can't open file missing.html for reading.\n",
       .status = 1,
       .created = {file("b.tex", default_document("B\n"))}},
      {.name = "output name is a directory",
       .args = {"page.html", "b.html"},
       .setup = {file("page.html", "P\n"), directory("page.tex"),
                 file("b.html", "B\n")},
       .err = "can't open file page.tex for writing.\n",
       .status = 1,
       .created = {file("b.tex", default_document("B\n"))}},
      {.name = "output directory does not exist",
       .args = {"page.html"},
       .setup = {file("page.html", "P\n"),
                 symlink("page.tex", "no-such-dir/page.tex")},
       .err = "can't open file page.tex for writing.\n",
       .status = 1},
      {.name = "input is a directory",
       .args = {"dir", "b.html"},
       .setup = {directory("dir"), file("b.html", "B\n")},
       .err = "can't read file dir.\n",
       .status = 1,
       .created = {file("b.tex", default_document("B\n"))}},
      {.name = "input named .html is a directory",
       .args = {"dir.html"},
       .setup = {directory("dir.html")},
       .err = "can't read file dir.html.\n",
       .status = 1},
  });
}

TEST(TagweaveCommandLine, WriteErrorsAreReported) {
  run_cases({
      {.name = "- to a full device",
       .args = {"-"},
       .input = "x\n",
       .stdout_path = "/dev/full",
       .err = "can't write standard output.\n",
       .status = 1},
      {.name = "-s to a full device, every file tried",
       .args = {"-s", "a.html", "b.html"},
       .setup = {file("a.html", "A\n"), file("b.html", "B\n")},
       .stdout_path = "/dev/full",
       .err = "can't write standard output.\n"
              "can't write standard output.\n",
       .status = 1},
      {.name = "named output on a full device",
       .args = {"page.html", "b.html"},
       .setup = {file("page.html", "P\n"), symlink("page.tex", "/dev/full"),
                 file("b.html", "B\n")},
       .err = "can't write file page.tex.\n",
       .status = 1,
       .created = {file("b.tex", default_document("B\n"))}},
  });
}

/// No run destroys a file it was not asked to write, and every failure is
/// reported as one: each case checks the message, the status and the bytes
/// of every file left in the folder.
TEST(TagweaveCommandLine, NeverDestroysAFile) {
  const std::string page = "<h1>Kept</h1>\n<p>x\n";
  const std::string page_tex = default_document("\\section*{Kept}\\par x\n");
  const std::string old = "KEEP\n";
  // One text run of 16 MiB: loading it needs 16 MiB beyond the program's
  // own few, converting it needs as much again (the run is copied), so a
  // limit of 16 MiB stops the load and one of 32 MiB the conversion.
  constexpr std::size_t mib = std::size_t{1} << 20;
  const std::string one_run(16 * mib, 'a');
  // 16 MiB of sections are written as they are read: they fit in 26 MiB
  // with the program's own few (a dynamically linked program maps some
  // 5 MiB of shared libraries more than a static one).
  std::string sections, sections_body;
  while (sections.size() < 16 * mib) {
    sections += "<P>x &amp; y\n";
    sections_body += "\\par x \\& y\n";
  }
  run_cases({
      {.name = "output is a symbolic link to the input",
       .args = {"s.html", "b.html"},
       .setup = {file("s.html", page), symlink("s.tex", "s.html"),
                 file("b.html", "B\n")},
       .err = "can't write file s.tex: it is the input file s.html.\n",
       .status = 1,
       .created = {file("b.tex", default_document("B\n"))}},
      {.name = "output is a hard link to the input",
       .args = {"s.html"},
       .setup = {file("s.html", page), hard_link("s.tex", "s.html")},
       .err = "can't write file s.tex: it is the input file s.html.\n",
       .status = 1},
      {.name = "output links to an input named without .html",
       .args = {"s"},
       .setup = {file("s", page), symlink("s.tex", "s")},
       .err = "can't write file s.tex: it is the input file s.\n",
       .status = 1},
      {.name = "an output linked elsewhere is still followed",
       .args = {"s.html"},
       .setup = {file("s.html", page), directory("out"),
                 symlink("s.tex", "out/real.tex")},
       .created = {file("out/real.tex", page_tex)}},
      {.name = "directory input leaves the old output",
       .args = {"a"},
       .setup = {directory("a"), file("a.tex", old)},
       .err = "can't read file a.\n",
       .status = 1},
      {.name = "missing input leaves the old output",
       .args = {"gone"},
       .setup = {file("gone.tex", old)},
       .err = "can't open file gone.html for reading.\n",
       .status = 1},
      {.name = "input too large for memory leaves the old output",
       .args = {"big.html"},
       .setup = {file("big.html", one_run), file("big.tex", old)},
       .address_space_limit = 16 * mib,
       .err = "realloc() failed.\n",
       .status = 3},
      {.name = "a long run converts in the memory that holds it",
       .args = {"-s", "big.html"},
       .setup = {file("big.html", one_run)},
       .address_space_limit = 32 * mib,
       .out = default_document(one_run)},
      {.name = "a large page converts in little more than its own memory",
       .args = {"-s", "big.html"},
       .setup = {file("big.html", sections)},
       .address_space_limit = 26 * mib,
       .out = default_document(sections_body)},
      {.name = "a FIFO named without .html is opened once",
       .args = {"-s", "f"},
       .setup = {fifo("f", page)},
       .out = page_tex},
      {.name = "closed standard input and error: no message in the output",
       .args = {"b.html"},
       .setup = {file("b.html", "<p>x<b")},
       .closed_fds = {0, 2},
       .status = 1,
       .created = {file("b.tex", default_document("\\par x"))}},
      {.name = "all three standard descriptors closed",
       .args = {"b.html"},
       .setup = {file("b.html", page)},
       .closed_fds = {0, 1, 2},
       .created = {file("b.tex", page_tex)}},
      {.name = "closed standard input is a read error",
       .args = {"-"},
       .closed_fds = {0},
       .err = "can't read standard input.\n",
       .status = 1},
      {.name = "closed standard output is a write error",
       .args = {"-"},
       .input = "x\n",
       .closed_fds = {1},
       .err = "can't write standard output.\n",
       .status = 1},
      {.name = "--version to a closed standard output",
       .args = {"--version"},
       .closed_fds = {1},
       .err = "can't write standard output.\n",
       .status = 1},
      {.name = "--help to a full device",
       .args = {"--help"},
       .stdout_path = "/dev/full",
       .err = "can't write standard output.\n",
       .status = 1},
      {.name = "named output on a full device",
       .args = {"s.html"},
       .setup = {file("s.html", page), symlink("s.tex", "/dev/full")},
       .err = "can't write file s.tex.\n",
       .status = 1},
  });
}

// Converting copies no text; only nesting takes memory as it grows, a byte
// per open list. Lists nested past the limit run out of it mid-document.
TEST(TagweaveCommandLine, MemoryRunningOutWhileConvertingIsStatusThree) {
  if (address_sanitized) GTEST_SKIP() << "memory limits under AddressSanitizer";
  constexpr std::size_t mib = std::size_t{1} << 20;
  std::string deep;
  for (std::size_t i = 0; i < 6 * mib; ++i) deep += "<UL>";
  temp_dir dir;
  make(dir, file("deep.html", deep));
  program_run run = testing::run_program({.program = TAGWEAVE_BIN,
                                          .args = {"-s", "deep.html"},
                                          .directory = dir.path(),
                                          .address_space_limit = 32 * mib});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "cannot allocate memory\n");
  EXPECT_TRUE(run.out.starts_with(default_preamble));
}

TEST(TagweaveCommandLine, FrameOptions) {
  const std::string style = "\\documentstyle{article}\n";
  const std::string begin = "\\begin{document}\n";
  const std::string end = "\\end{document}\n";
  const std::string body = "Body\n";
  auto frame_case = [&](std::string name, std::vector<std::string> options,
                        std::string preamble, std::string closing = "") {
    options.push_back("-");
    return cli_case{
        .name = std::move(name),
        .args = std::move(options),
        .input = body,
        .out = banner + std::move(preamble) + body + std::move(closing) + end};
  };
  run_cases({
      frame_case("no options", {}, style + begin),
      frame_case("-t escapes the title", {"-t", "A & B"},
                 style + begin +
                     "\\title{A \\& B}\n"
                     "\\author{}\n"
                     "\\maketitle\n"),
      frame_case("-a without -t: an empty title, before the header",
                 {"-a", "Ann_Lee", "-h", "H "},
                 style + begin +
                     "\\title{}\n"
                     "H "
                     "\\author{Ann\\_Lee}\n"
                     "\\maketitle\n"),
      frame_case("-t with -a", {"-a", "Ann", "-t", "T"},
                 style + begin +
                     "\\title{T}\n"
                     "\\author{Ann}\n"
                     "\\maketitle\n"),
      frame_case("-p alone writes no page break", {"-p"}, style + begin),
      frame_case("-c", {"-c"}, style + begin + "\\tableofcontents \n"),
      frame_case("-p -c", {"-p", "-c"},
                 style + begin +
                     "\\tableofcontents \n"
                     "\\newpage\n"),
      frame_case("-p -c -t", {"-pc", "-t", "T"},
                 style + begin +
                     "\\title{T}\n"
                     "\\author{}\n"
                     "\\maketitle\n"
                     "\\newpage\n"
                     "\\tableofcontents \n"
                     "\\newpage\n"),
      frame_case("-p -a", {"-p", "-a", "A"},
                 style + begin +
                     "\\title{}\n"
                     "\\author{A}\n"
                     "\\maketitle\n"
                     "\\newpage\n"),
      frame_case("-h is written unchanged with no line break",
                 {"-h", "\\hdr{}% & "}, style + begin + "\\hdr{}% & "),
      frame_case("-f is written unchanged with no line break",
                 {"-f", "\\vfill $x$"}, style + begin, "\\vfill $x$"),
      frame_case("-o", {"-o", "[11pt]{article}"},
                 "\\documentstyle[11pt]{article}\n" + begin),
      frame_case("repeated -t: the last wins", {"-t", "First", "-t", "Second"},
                 style + begin +
                     "\\title{Second}\n"
                     "\\author{}\n"
                     "\\maketitle\n"),
      frame_case("title and author of every special character",
                 {"-t", "#$%&_{}~^<>\\", "-a", "a~b"},
                 style + begin +
                     "\\title{\\#\\$\\%\\&\\_\\{\\}\\~{}\\^{}$<$$>$"
                     "$\\backslash$}\n"
                     "\\author{a\\~{}b}\n"
                     "\\maketitle\n"),
      frame_case("everything at once",
                 {"-n", "-h", "H\n", "-t", "T", "-a", "A", "-c", "-p", "-f",
                  "F\n", "-o", "[a4paper]{report}"},
                 "\\documentstyle[a4paper]{report}\n" + begin +
                     "H\n"
                     "\\title{T}\n"
                     "\\author{A}\n"
                     "\\maketitle\n"
                     "\\newpage\n"
                     "\\tableofcontents \n"
                     "\\newpage\n",
                 "F\n"),
  });
}

TEST(TagweaveCommandLine, NumberedHeadings) {
  const std::string input = "<h1>A</h1><h2>B</h2>\n";
  run_cases({
      {.name = "unnumbered by default",
       .args = {"-"},
       .input = input,
       .out = default_document("\\section*{A}\\subsection*{B}")},
      {.name = "-n",
       .args = {"-n", "-"},
       .input = input,
       .out = default_document("\\section{A}\\subsection{B}")},
      {.name = "-n twice",
       .args = {"-n", "-n", "-"},
       .input = input,
       .out = default_document("\\section{A}\\subsection{B}")},
  });
}

TEST(TagweaveCommandLine, UnfinishedDocumentsEndWithStatusOne) {
  run_cases({
      {.name = "unterminated tag",
       .args = {"-"},
       .input = "ab <i",
       .out = default_document("ab "),
       .err = "error parsing mark, bailing out\n",
       .status = 1},
      {.name = "unterminated tag, later files still converted",
       .args = {"bad.html", "good.html"},
       .setup = {file("bad.html", "x<!y"), file("good.html", "ok\n")},
       .err = "error parsing mark, bailing out\n",
       .status = 1,
       .created = {file("bad.tex", default_document("x")),
                   file("good.tex", default_document("ok\n"))}},
      {.name = "stray list end tag at the top level",
       .args = {"-f", "F", "-"},
       .input = "a</ul>b\n",
       .out = banner + "\\documentstyle{article}\n"
                       "\\begin{document}\n"
                       "a\\end{itemize}F\\end{document}\n",
       .err = "\n!Abnormal exit\n",
       .status = 1},
  });
}

TEST(TagweaveCommandLine, EachDocumentStartsInTheNormalRenderState) {
  run_cases({
      {.name = "after an unclosed title",
       .args = {"-s", "a.html", "b.html"},
       .setup = {file("a.html", "<title>Unclosed\n"),
                 file("b.html", "x & y\n")},
       .out = default_document("") + default_document("x \\& y\n")},
      {.name = "after an unclosed listing",
       .args = {"-s", "a.html", "b.html"},
       .setup = {file("a.html", "<listing>\nraw_text\n"),
                 file("b.html", "a_b\n")},
       .out = default_document("\\begin{verbatim}raw_text\n") +
              default_document("a\\_b\n")},
  });
}

}  // namespace
}  // namespace tagweave

namespace tagweave {
namespace {

/// What the library writes for `bytes` in html5 mode, images looked up in
/// `folder`: the command line must write the same.
std::string html5_document(std::string_view bytes, std::string folder = ".",
                           std::optional<std::string> encoding = {},
                           document_options options = {}) {
  options.mode = reading_mode::html5;
  options.image_folder = std::move(folder);
  options.encoding = std::move(encoding);
  std::string latex;
  convert(bytes, options, latex);
  return latex;
}

// -h and -f are raw LaTeX: in --html5 each stands on lines of its own, so
// a control word at its end does not run into the page's first word
// ("\twocolumnA") and a comment at its end swallows neither the page's
// first line nor \end{document}.
TEST(TagweaveCommandLine, Html5HeaderAndFooterTextStandOnLinesOfTheirOwn) {
  temp_dir dir;
  dir.write("page.html", "<p>first words");
  program_run run =
      testing::run_program({.program = TAGWEAVE_BIN,
                            .args = {"--html5", "-s", "-h", "\\twocolumn %",
                                     "-f", "end %", "page.html"},
                            .directory = dir.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\\begin{document}\n\\twocolumn %\nfirst words"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\nend %\n\\end{document}\n"), std::string::npos)
      << run.out;
}

TEST(TagweaveCommandLine, Html5Mode) {
  const std::string page = "<title>T</title><p>caf\xC3\xA9 &amp; more";
  const std::string latin1 = "<p>caf\xE9";
  const std::string linked =
      "<a href='https://h/'>web</a> <a href='page.html#s'>up</a><p id=s>x";
  document_options own_file;
  own_file.page_file = "page.html";
  document_options without_urls = own_file;
  without_urls.link_urls = link_url_display::none;
  run_cases({
      {.name = "--html5 writes the .tex beside the page",
       .args = {"--html5", "page.html"},
       .setup = {file("page.html", page)},
       .created = {file("page.tex", html5_document(page))}},
      {.name = "standard input to standard output",
       .args = {"--html5", "-"},
       .input = page,
       .out = html5_document(page)},
      {.name = "--encoding overrides what the page declares",
       .args = {"--html5", "--encoding=latin1", "page.html"},
       .setup = {file("page.html", "<meta charset=utf-8>" + latin1)},
       .created = {file(
           "page.tex",
           html5_document("<meta charset=utf-8>" + latin1, ".", "latin1"))}},
      {.name = "an unknown --encoding label converts nothing",
       .args = {"--html5", "--encoding=bogus", "page.html"},
       .setup = {file("page.html", page)},
       .err = "unknown encoding bogus.\n",
       .status = 1},
      {.name = "an encoding tagweave cannot decode is read as UTF-8, said once",
       .args = {"--html5", "page.html"},
       .setup = {file("page.html", "<meta charset=shift_jis>" + page)},
       .err = "encoding Shift_JIS is not supported: read as UTF-8.\n",
       .created = {file("page.tex",
                        html5_document("<meta charset=shift_jis>" + page))}},
      {.name = "a link's URL goes in a footnote; a link to the page's own "
               "file with a fragment jumps inside it",
       .args = {"--html5", "page.html"},
       .setup = {file("page.html", linked)},
       .created = {file("page.tex",
                        html5_document(linked, ".", {}, own_file))}},
      {.name = "--link-urls=none writes no footnote",
       .args = {"--html5", "--link-urls=none", "page.html"},
       .setup = {file("page.html", linked)},
       .created = {file("page.tex",
                        html5_document(linked, ".", {}, without_urls))}},
      {.name = "characters no font has are counted in one line, status 0",
       .args = {"--html5", "page.html"},
       .setup = {file("page.html", "\xF0\x9F\x98\x80 \xE4\xB8\xAD")},
       .err = "page.html: 2 characters cannot be typeset with the "
              "document's fonts and are shown by code point.\n",
       .created = {file("page.tex",
                        html5_document("\xF0\x9F\x98\x80 \xE4\xB8\xAD"))}},
  });
}

/// An existing output is replaced only by a whole new document: whatever
/// fails while converting or writing, in either mode, leaves it as it was,
/// and no new file is left beside it (every case compares the whole folder).
TEST(TagweaveCommandLine, AnOutputIsReplacedOnlyByAWholeDocument) {
  constexpr std::size_t mib = std::size_t{1} << 20;
  const std::string old = "KEEP\n";
  const std::string page = "<h1>New</h1>\n<p>x\n";
  const std::string page_tex = default_document("\\section*{New}\\par x\n");
  // 12 MiB of paragraphs load within a limit of 32 MiB; their HTML5 tree
  // and the decoded text do not fit in it.
  std::string paragraphs;
  for (std::size_t i = 0; i < 3 * mib; ++i) paragraphs += "<p>x";
  // Lists nested 6 Mi deep: the early tag set's nesting outgrows 32 MiB.
  std::string deep;
  for (std::size_t i = 0; i < 6 * mib; ++i) deep += "<UL>";
  // A page whose document outgrows a file size limit of 16 KiB.
  const std::string long_page = "<p>" + std::string(64 * 1024, 'x');
  constexpr std::size_t file_limit = 16 * 1024;
  run_cases({
      {.name = "--html5: memory running out while converting",
       .args = {"--html5", "big.html"},
       .setup = {file("big.html", paragraphs), file("big.tex", old)},
       .address_space_limit = 32 * mib,
       .err = "cannot allocate memory\n",
       .status = 3},
      {.name = "early tag set: memory running out while converting",
       .args = {"deep.html"},
       .setup = {file("deep.html", deep), file("deep.tex", old)},
       .address_space_limit = 32 * mib,
       .err = "cannot allocate memory\n",
       .status = 3},
      {.name = "--html5: a write past the file size limit",
       .args = {"--html5", "long.html"},
       .setup = {file("long.html", long_page), file("long.tex", old)},
       .file_size_limit = file_limit,
       .err = "can't write file long.tex.\n",
       .status = 1},
      {.name = "early tag set: a write past the file size limit, the next "
               "file still converted",
       .args = {"long.html", "b.html"},
       .setup = {file("long.html", long_page), file("long.tex", old),
                 file("b.html", page)},
       .file_size_limit = file_limit,
       .err = "can't write file long.tex.\n",
       .status = 1,
       .created = {file("b.tex", page_tex)}},
      {.name = "--html5: a symbolic link named as the output is replaced at "
               "its target, through a second link",
       .args = {"--html5", "page.html"},
       .setup = {file("page.html", page), directory("out"),
                 file("out/real.tex", old), symlink("out/link.tex", "real.tex"),
                 symlink("page.tex", "out/link.tex")},
       .created = {file("out/real.tex", html5_document(page))}},
      {.name = "early tag set: the same",
       .args = {"page.html"},
       .setup = {file("page.html", page), directory("out"),
                 file("out/real.tex", old), symlink("out/link.tex", "real.tex"),
                 symlink("page.tex", "out/link.tex")},
       .created = {file("out/real.tex", page_tex)}},
      {.name = "--html5: output to /dev/null",
       .args = {"--html5", "page.html"},
       .setup = {file("page.html", page), symlink("page.tex", "/dev/null")}},
      {.name = "early tag set: output to /dev/null",
       .args = {"page.html"},
       .setup = {file("page.html", page), symlink("page.tex", "/dev/null")}},
      {.name = "--html5: output is a symbolic link to the input",
       .args = {"--html5", "s.html"},
       .setup = {file("s.html", page), symlink("s.tex", "s.html")},
       .err = "can't write file s.tex: it is the input file s.html.\n",
       .status = 1},
      {.name = "--html5: output is a hard link to the input",
       .args = {"--html5", "s.html"},
       .setup = {file("s.html", page), hard_link("s.tex", "s.html")},
       .err = "can't write file s.tex: it is the input file s.html.\n",
       .status = 1},
      {.name = "a hard-linked output: its other names keep the old text",
       .args = {"page.html"},
       .setup = {file("page.html", page), file("page.tex", old),
                 hard_link("other.tex", "page.tex")},
       .created = {file("page.tex", page_tex)}},
      {.name = "--html5: a read-only folder",
       .args = {"--html5", "ro/page.html"},
       .setup = {read_only_directory("ro"), file("ro/page.html", page)},
       .err = "can't open file ro/page.tex for writing.\n",
       .status = 1},
      {.name = "early tag set: a read-only folder",
       .args = {"ro/page.html"},
       .setup = {read_only_directory("ro"), file("ro/page.html", page)},
       .err = "can't open file ro/page.tex for writing.\n",
       .status = 1},
      {.name = "a writable output in a read-only folder is written in place",
       .args = {"ro/page.html"},
       .setup = {read_only_directory("ro"), file("ro/page.html", page),
                 file("ro/page.tex", old)},
       .created = {file("ro/page.tex", page_tex)}},
  });
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

/// Restores this process's umask, which the program inherits, when it goes.
class scoped_umask {
 public:
  explicit scoped_umask(mode_t mask) : saved_(::umask(mask)) {}
  ~scoped_umask() { ::umask(saved_); }
  scoped_umask(const scoped_umask&) = delete;
  scoped_umask& operator=(const scoped_umask&) = delete;

 private:
  mode_t saved_;
};

fs::perms permissions_of(const fs::path& path) {
  return fs::status(path).permissions();
}

// A replaced output keeps its permission bits, whatever the umask would
// give a new file; a new output gets what the umask gives.
TEST(TagweaveCommandLine, AReplacedOutputKeepsItsPermissionBits) {
  using enum fs::perms;
  scoped_umask new_files(027);  // rw-r-----
  temp_dir dir;
  dir.write("old.html", "<p>x");
  dir.write("new.html", "<p>y");
  dir.write("old.tex", "KEEP\n");
  fs::permissions(dir.path() / "old.tex",
                  owner_read | owner_write | others_read);
  program_run run =
      testing::run_program({.program = TAGWEAVE_BIN,
                            .args = {"--html5", "old.html", "new.html"},
                            .directory = dir.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir.read("old.tex"), html5_document("<p>x"));
  EXPECT_EQ(permissions_of(dir.path() / "old.tex"),
            owner_read | owner_write | others_read);
  EXPECT_EQ(permissions_of(dir.path() / "new.tex"),
            owner_read | owner_write | group_read);
}

/// Reads a FIFO to its end on a thread of its own, as `cat fifo > file &`
/// would. When the program never opened the FIFO, the reader is let go at
/// the end by a writer of the test's own.
class fifo_reader {
 public:
  explicit fifo_reader(fs::path path)
      : path_(std::move(path)), thread_([this] { read_all(); }) {}
  ~fifo_reader() { finish(); }
  fifo_reader(const fifo_reader&) = delete;
  fifo_reader& operator=(const fifo_reader&) = delete;

  /// What came through the FIFO.
  const std::string& finish() {
    if (thread_.joinable()) {
      int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      thread_.join();
    }
    return received_;
  }

 private:
  void read_all() {
    int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) return;
    char block[4096];
    ssize_t got;
    while ((got = ::read(fd, block, sizeof block)) > 0) {
      received_.append(block, static_cast<std::size_t>(got));
    }
    ::close(fd);
  }

  fs::path path_;
  std::string received_;
  std::thread thread_;
};

// Something that is not a regular file cannot be replaced: the document is
// written into it, as before.
TEST(TagweaveCommandLine, AFifoNamedAsTheOutputIsWrittenInto) {
  for (bool html5 : {false, true}) {
    SCOPED_TRACE(html5 ? "--html5" : "early tag set");
    temp_dir dir;
    dir.write("page.html", "<p>x");
    ASSERT_EQ(::mkfifo((dir.path() / "page.tex").c_str(), 0600), 0);
    fifo_reader reader(dir.path() / "page.tex");
    std::vector<std::string> args = {"page.html"};
    if (html5) args.insert(args.begin(), "--html5");
    program_run run = testing::run_program(
        {.program = TAGWEAVE_BIN, .args = args, .directory = dir.path()});
    EXPECT_EQ(reader.finish(),
              html5 ? html5_document("<p>x") : default_document("\\par x"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(fs::is_fifo(dir.path() / "page.tex"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()),
                            fs::directory_iterator()),
              2);
  }
}

TEST(TagweaveCommandLine, Html5ImagesAreLookedUpBesideThePage) {
  temp_dir dir;
  fs::create_directories(dir.path() / "docs" / "img");
  dir.write("docs/img/ok.png", testing::tiny_png());
  dir.write("docs/img/broken.png", "\x89PNG\r\n\x1a\nnot really");
  dir.write("docs/img/under_score.png", testing::tiny_png());
  const std::string page =
      "<img src='img/ok.png' alt=good><img src='img/broken.png' alt=broken>"
      "<img src='img/none.png' alt=missing><img src='http://h/ok.png' "
      "alt=remote><img src='img/ok.png?v=2' alt=query>"
      "<img src='img/under_score.png' alt=underscore>";
  dir.write("docs/page.html", page);
  program_run run = testing::run_program({.program = TAGWEAVE_BIN,
                                          .args = {"--html5", "docs/page.html"},
                                          .directory = dir.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  std::string tex = dir.read("docs/page.tex");
  EXPECT_EQ(tex, html5_document(page, (dir.path() / "docs").string()));
  EXPECT_NE(tex.find("\\twimage{img/ok.png}\\allowbreak{}[broken]\\allowbreak{}"
                     "[missing]\\allowbreak{}[remote]\\allowbreak{}"
                     "\\twimage{img/ok.png}%\n\\allowbreak{}"
                     "\\twimage{img/under_score.png}"),
            std::string::npos)
      << tex;
}

TEST(TagweaveCommandLine, OutputNamesTheOneDocumentsFile) {
  const std::vector<entry> page = {file("page.html", "Text\n")};
  const std::vector<entry> two = {file("a.html", "A\n"), file("b.html", "B\n")};
  run_cases({
      {.name = "--output writes the document there, not beside the page",
       .args = {"--output=out.tex", "page.html"},
       .setup = page,
       .created = {file("out.tex", default_document("Text\n"))}},
      {.name = "--output as two words, for a name without .html",
       .args = {"--output", "dir/out.tex", "page"},
       .setup = {directory("dir"), file("page.html", "Text\n")},
       .created = {file("dir/out.tex", default_document("Text\n"))}},
      {.name = "--output takes standard input's document too",
       .args = {"--output=out.tex", "-"},
       .input = "piped\n",
       .created = {file("out.tex", default_document("piped\n"))}},
      {.name = "--output replaces an existing file",
       .args = {"--output=out.tex", "page.html"},
       .setup = {file("page.html", "Text\n"), file("out.tex", "old")},
       .created = {file("out.tex", default_document("Text\n"))}},
      {.name = "--output never writes over its input",
       .args = {"--output=page.html", "page.html"},
       .setup = page,
       .err = "can't write file page.html: it is the input file page.html.\n",
       .status = 1},
      {.name = "--output is refused for more than one input",
       .args = {"--output=out.tex", "a.html", "b.html"},
       .setup = two,
       .err = "--output names the file of one document, but 2 inputs were "
              "given.\n",
       .status = 1},
      {.name = "--output is refused beside -s",
       .args = {"-s", "--output=out.tex", "page.html"},
       .setup = page,
       .err = "--output and -s both say where the document goes: give one of "
              "them.\n",
       .status = 1},
      {.name = "-o still sets the style, whatever it looks like",
       .args = {"-o", "out.tex", "page.html"},
       .setup = page,
       .created = {file("page.tex",
                        banner + "\\documentstyleout.tex\n\\begin{document}\n"
                                 "Text\n\\end{document}\n")}},
  });
}

TEST(TagweaveCommandLine, HintsOnlyWhenStandardErrorIsATerminal) {
  const std::string styled = banner +
                             "\\documentstyleout.tex\n\\begin{document}\n"
                             "Text\n\\end{document}\n";
  const std::string style_hint =
      "tagweave: hint: -o sets the document style, here out.tex; "
      "--output=FILE names the output file.\n";
  const std::string today = "<!DOCTYPE html>\n<p>Text\n";
  const std::string today_tex = default_document("\\par Text\n");
  auto html5_hint = [](const std::string& input) {
    return "tagweave: hint: " + input +
           " declares <!DOCTYPE html>, a page of today's HTML: --html5 reads "
           "it.\n";
  };
  const std::vector<entry> page = {file("page.html", "Text\n")};
  const std::vector<entry> today_pages = {file("a.html", today),
                                          file("b.html", today)};
  // Each case twice: at a terminal, then with standard error a pipe, where
  // nothing is said.
  const std::vector<cli_case> cases = {
      {.name = "-o given a .tex name",
       .args = {"-o", "out.tex", "page.html"},
       .setup = page,
       .err = style_hint,
       .created = {file("page.tex", styled)}},
      {.name = "a page of today's HTML read as the early tag set, said once",
       .args = {"a.html", "b.html"},
       .setup = today_pages,
       .err = html5_hint("a.html"),
       .created = {file("a.tex", today_tex), file("b.tex", today_tex)}},
      {.name = "... and for standard input",
       .args = {"-"},
       .input = today,
       .out = today_tex,
       .err = html5_hint("-")},
  };
  for (cli_case c : cases) {
    c.stderr_terminal = true;
    run_case(c);
    c.name += ", not at a terminal";
    c.stderr_terminal = false;
    c.err = "";
    run_case(c);
  }
  run_cases({
      {.name = "--style says it is a style: no hint",
       .args = {"--style=out.tex", "page.html"},
       .setup = page,
       .stderr_terminal = true,
       .created = {file("page.tex", styled)}},
      {.name = "--html5 reads the page: no hint",
       .args = {"--html5", "-"},
       .input = today,
       .stderr_terminal = true,
       .out = html5_document(today)},
      {.name = "an older doctype: no hint",
       .args = {"-"},
       .input = "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">x\n",
       .stderr_terminal = true,
       .out = default_document("x\n")},
      {.name = "messages other than hints are the same at a terminal",
       .args = {"missing.html"},
       .stderr_terminal = true,
       .err = "can't open file missing.html for reading.\n",
       .status = 1},
  });
}

}  // namespace
}  // namespace tagweave
