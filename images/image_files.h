// Which images of an --html5 page pdflatex can include: a file inside the
// page's own folder tree, named by a relative path, that really is a PNG,
// JPEG or PDF file pdflatex reads. Anything else (a remote URL, an absolute
// path, a path or symbolic link leading out of the folder, an SVG or GIF, a
// missing or damaged file) is written as its alt text: pages are untrusted,
// and a file pdflatex cannot read would stop the whole document.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tagweave {

/// The most work the images of one page may cause, in bytes read from
/// image files and bytes inflated from their compressed data together.
/// Checking a PNG inflates all of its pixel data, which a small file can
/// make hundreds of megabytes; a page naming many such files would
/// otherwise take minutes. This is a picture of the largest size checked
/// (256 MiB of rows) and as much again, some sixty full-screen RGBA
/// screenshots: checked in a fifth of a second when the data repeats as a
/// bomb's does, in several seconds at worst (data that is noise inflates
/// at tens of megabytes a second, and takes files of about its size).
/// Once it is spent, the page's pictures not yet checked are written as
/// their alt text.
inline constexpr std::uint64_t image_work_budget_bytes = std::uint64_t{512}
                                                         << 20;

/// Checks the images of one page against the files in its folder. Each
/// source is looked up once and each file (by device and inode, however
/// its sources spell it) is read and checked once, and all the checks
/// together do at most `budget` bytes of work.
class image_checker {
 public:
  explicit image_checker(std::string folder,
                         std::uint64_t budget = image_work_budget_bytes);

  /// The path to write in \includegraphics for `src`, or nothing when it
  /// cannot be included. `src` is a relative URL: its query and fragment
  /// are not part of the file's name (as a browser reads a local file),
  /// percent-escapes are decoded and "." and ".." segments resolved as a
  /// browser resolves them, and a path that climbs out of the folder is
  /// refused. The file it names, symbolic links resolved, must lie inside
  /// the folder's tree and be a regular file; the path returned is that
  /// file's own, relative to the folder, so that pdflatex (run in the
  /// folder) reads exactly the file that was checked.
  std::optional<std::string> includable(std::string_view src);

  /// The work the page's images may still do, in bytes.
  std::uint64_t budget_left() const { return budget_left_; }

 private:
  std::optional<std::string> checked_path(std::string_view src);
  bool check_file(const std::string& file);

  std::string folder_;
  std::optional<std::string> real_folder_;  // empty when it cannot be found
  std::uint64_t budget_left_;
  std::unordered_map<std::string, std::optional<std::string>> by_source_;
  // Device and inode of each file read, and whether it can be included.
  std::map<std::pair<std::uint64_t, std::uint64_t>, bool> by_file_;
};

/// The path to write in \includegraphics for `src` on a page in `folder`
/// (as image_checker::includable says), or nothing when it cannot be
/// included.
std::optional<std::string> includable_image(std::string_view folder,
                                            std::string_view src);

/// Whether `bytes` (a whole file) look like an image pdflatex reads
/// without error, doing at most `work_left` bytes of inflating (and
/// lowering it by what was done): a PNG of the chunks pdflatex accepts, in
/// their order, with valid CRCs and an IHDR it supports, whose data
/// inflates to exactly its rows, each with a valid filter type; a baseline
/// or progressive 8-bit JPEG; a PDF whose cross-reference table or stream
/// leads to a first page of a size TeX can measure, unencrypted. PNG and
/// JPEG pictures must also be small enough, at the resolution pdftex gives
/// them, for TeX to measure.
bool is_includable_image(std::string_view bytes, std::uint64_t& work_left);

/// The same within a whole page's budget.
bool is_includable_image(std::string_view bytes);

}  // namespace tagweave
