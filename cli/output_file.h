// Where a named output's document is written. An existing regular file is
// replaced only by a whole new document: the document goes to a new file
// beside it, renamed over it once written, so that a run failing while it
// converts or writes (memory running out, a full disk) leaves the old file
// exactly as it was.
#pragma once

#include "cli/descriptors.h"

#include <string>

namespace tagweave {

/// The file one document is written to.
class output_file {
 public:
  output_file() = default;
  /// Writes straight into `file`: a device, a pipe, or a file that cannot
  /// be replaced.
  explicit output_file(opened_file file) : file_(std::move(file)) {}
  /// Writes into `file`, a new file named `new_name`, which takes the place
  /// of `replaced` when finished.
  output_file(opened_file file, std::string new_name, std::string replaced)
      : file_(std::move(file)),
        new_name_(std::move(new_name)),
        replaced_(std::move(replaced)) {}
  /// Removes the new file when it was not finished.
  ~output_file();
  output_file(output_file&& other) noexcept;
  output_file& operator=(output_file&& other) noexcept;
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  bool is_open() const { return file_.is_open(); }
  int fd() const { return file_.fd(); }
  /// Puts the written document in place: closes it and renames the new file
  /// over the output. False when either fails; the new file is then removed
  /// and the old output kept.
  bool finish();

 private:
  void remove_new_file();

  opened_file file_;
  std::string new_name_;  // empty: written in place
  std::string replaced_;
};

enum class output_opening {
  opened,
  cant_open,   ///< the output can be neither replaced nor opened for writing
  is_input,    ///< the output is the input under another name
  cant_empty,  ///< written in place, it could not be emptied first
};

struct opened_output {
  output_opening outcome = output_opening::cant_open;
  output_file file;
};

/// The output `name` for a document read from `input_fd`, which it must not
/// be. A symbolic link named as the output is followed: the file it leads to
/// is replaced, by a new file in that file's folder (a rename stays within
/// one file system), with that file's permission bits and, where the system
/// allows, its owner. A new output gets the mode any new file gets.
/// Something that is not a regular file (/dev/null, a FIFO) is written as it
/// is, and so is a file whose folder takes no new file: emptied first, as
/// before the document was written beside it.
opened_output open_output_file(const std::string& name, int input_fd);

}  // namespace tagweave
