#include "early/convert/body.h"

#include "early/convert/helper_thread.h"
#include "early/reader/split_walk.h"
#include "early/reader/tag_reader.h"
#include "early/writer/renderer.h"
#include "output/huge_pages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagweave {
namespace {

/// Documents smaller than this are written by the calling thread alone:
/// starting and joining a thread costs about as much as converting twenty
/// kilobytes, so a helper pays for itself only well above that.
constexpr std::size_t two_halves_threshold = 256 * 1024;

/// How far after the middle the second half's first tag is looked for:
/// as far as a few sections of an ordinary page reach, and no further, so
/// that looking costs next to nothing beside the conversion.
constexpr std::size_t second_half_search_window = 16 * 1024;

/// The most output of the second half held before the first half is done:
/// the helper then waits. A bound on the memory the halves add, and large
/// enough that on a 20 MB document the helper waits only near its end.
constexpr std::size_t queued_output_limit = 8u << 20;

/// The longest run with references the helper decodes into its own buffer
/// before the first half is known to end where the second begins; a longer
/// one waits until then and is decoded where it stands. (Until then the
/// calling thread may still read the second half's text.)
constexpr std::size_t max_copied_run = 1u << 20;

/// How many times a thread waiting for the other looks again, pausing
/// between looks, before it sleeps until woken. A sleeping thread is often
/// woken onto the waker's core, where the two then take turns instead of
/// working side by side; the other side hands over a block every few tens
/// of microseconds, which this spin (tens of cycles a pause) outlasts.
constexpr int spins_before_sleeping = 4096;

/// Waits until `word` no longer holds `seen`; returns what it holds then.
std::uint64_t wait_for_change(const std::atomic<std::uint64_t>& word,
                              std::uint64_t seen) {
  for (int spin = 0; spin < spins_before_sleeping; ++spin) {
    std::uint64_t now = word.load(std::memory_order_acquire);
    if (now != seen) return now;
#if defined(__SSE2__)
    _mm_pause();
#endif
  }
  word.wait(seen, std::memory_order_acquire);
  return word.load(std::memory_order_acquire);
}

/// Writes each record as the splitter reads it, until a stray end tag of a
/// list ends the walk; the splitter still reads the rest, so that a tag that
/// is never closed is reported all the same.
class rendering_consumer {
 public:
  rendering_consumer(byte_sink& dest, const document_options& options)
      : walk_(dest, S_NORMAL, options) {}

  void take(const mark_view& rec) {
    if (!ended_early_) ended_early_ = !walk_.render(rec);
  }
  bool ended_early() const { return ended_early_; }
  /// Where a new walk over the rest would stand.
  bool is_as_new() const { return !ended_early_ && walk_.is_as_new(); }

 private:
  mark_renderer walk_;
  bool ended_early_ = false;
};

/// Thrown on the helper when the calling thread has given the second half
/// up, to end the helper's work there.
struct second_half_abandoned {};

/// The second half's output, in blocks, from the helper to the calling
/// thread, and the calling thread's verdict on the first half back. Each
/// side publishes a count with a release store and reads the other's with
/// an acquire load, so a block is whole before it is read.
class output_queue {
 public:
  /// The queue's memory, taken before the helper starts (see
  /// make_second_half): false when there is none to be had. Huge pages
  /// back it when `expected` bytes, about the second half's size, fill
  /// several: fewer faults, and no huge page zeroed for a few blocks.
  bool reserve(std::size_t expected) {
    storage_.reset(new (std::nothrow) char[queued_output_limit]);
    if (!storage_) return false;
    if (expected >= 2 * huge_page_bytes) {
      advise_huge_pages(storage_.get(), queued_output_limit);
    }
    return true;
  }

  // The helper's side.

  /// Copies `bytes` to the queue, waiting while it is full.
  void put(std::string_view bytes) {
    while (!bytes.empty()) {
      char* block = filling_block();
      std::size_t part = std::min(bytes.size(), block_bytes - filling_);
      std::memcpy(block + filling_, bytes.data(), part);
      filling_ += part;
      bytes.remove_prefix(part);
      if (filling_ == block_bytes) hand_over(false);
    }
  }

  /// Hands over what is left: the second half is done.
  void close() { hand_over(true); }

  /// Waits until the first half has ended where the second begins; throws
  /// second_half_abandoned when it has not.
  void wait_for_confirmation() {
    std::uint64_t verdict = verdict_.load(std::memory_order_acquire);
    while (verdict == undecided) verdict = wait_for_change(verdict_, verdict);
    if (verdict == abandoned) throw second_half_abandoned{};
  }

  // The calling thread's side.

  /// The first half ended where the second begins: the helper may write
  /// the text from there on, since the calling thread no longer reads it.
  void confirm() { decide(confirmed); }

  /// Stops the helper at its next record, hand-over or wait.
  void abandon() { decide(abandoned); }

  /// True once the second half has been given up; asked by the helper at
  /// every record, so that it stops soon even when it writes nothing.
  bool is_abandoned() const {
    return verdict_.load(std::memory_order_relaxed) == abandoned;
  }

  /// Writes the blocks to `dest` as they come, until the queue is closed.
  void write_all_to(byte_sink& dest) {
    for (std::uint64_t taken = 0;; ++taken) {
      if (!wait_for_block(taken)) return;
      std::size_t slot = taken % max_blocks;
      dest.write(std::string_view(block_at(slot), sizes_[slot]));
      taken_.store((taken + 1) << 1, std::memory_order_release);
      taken_.notify_one();
    }
  }

 private:
  static constexpr std::size_t block_bytes = 64 * 1024;
  static constexpr std::uint64_t max_blocks = queued_output_limit / block_bytes;
  // The low bit of published_ says the queue is closed; of taken_, that the
  // second half was given up. The rest of each is a count of blocks.
  static constexpr std::uint64_t closed_bit = 1;
  static constexpr std::uint64_t abandoned_bit = 1;
  enum : std::uint64_t { undecided, confirmed, abandoned };

  char* block_at(std::size_t slot) {
    return storage_.get() + slot * block_bytes;
  }
  char* filling_block() { return block_at(filled_ % max_blocks); }

  void hand_over(bool closing) {
    if (filling_ > 0) {
      sizes_[filled_ % max_blocks] = filling_;
      ++filled_;
      filling_ = 0;
    }
    published_.store((filled_ << 1) | (closing ? closed_bit : 0),
                     std::memory_order_release);
    published_.notify_one();
    if (!closing) wait_for_room();
  }

  /// Waits until the block to be filled next has been written out.
  void wait_for_room() {
    std::uint64_t taken = taken_.load(std::memory_order_acquire);
    for (;;) {
      if (taken & abandoned_bit) throw second_half_abandoned{};
      if (filled_ - (taken >> 1) < max_blocks) return;
      taken = wait_for_change(taken_, taken);
    }
  }

  /// Waits until block `index` is there; false when the queue was closed
  /// without it.
  bool wait_for_block(std::uint64_t index) {
    std::uint64_t published = published_.load(std::memory_order_acquire);
    for (;;) {
      if ((published >> 1) > index) return true;
      if (published & closed_bit) return false;
      published = wait_for_change(published_, published);
    }
  }

  /// Sets the verdict and wakes the helper wherever it waits.
  void decide(std::uint64_t verdict) {
    verdict_.store(verdict, std::memory_order_release);
    verdict_.notify_one();
    if (verdict == abandoned) {
      // A helper waiting for room waits on taken_.
      taken_.fetch_or(abandoned_bit, std::memory_order_acq_rel);
      taken_.notify_one();
    }
  }

  std::unique_ptr<char[]> storage_;  // the blocks, one after another
  std::array<std::size_t, max_blocks> sizes_{};
  // The helper's own: blocks handed over, and bytes in the next.
  std::uint64_t filled_ = 0;
  std::size_t filling_ = 0;
  // Apart, so that each side's stores do not slow the other's loads.
  alignas(64) std::atomic<std::uint64_t> published_{0};
  alignas(64) std::atomic<std::uint64_t> taken_{0};
  alignas(64) std::atomic<std::uint64_t> verdict_{undecided};
};

/// The helper's consumer. Until the first half is confirmed to end where
/// the second begins, the calling thread may still be reading the text
/// there, so runs are decoded into a buffer of the helper's own.
class second_half_consumer {
 public:
  second_half_consumer(byte_sink& dest, const document_options& options,
                       output_queue& queue)
      : writer_(dest, options), queue_(queue) {}

  /// The buffer runs are decoded into, taken before the helper starts:
  /// false when there is none to be had.
  bool reserve() {
    copy_.reset(new (std::nothrow) char[max_copied_run]);
    return copy_ != nullptr;
  }

  void take(const mark_view& rec) {
    stop_if_abandoned();
    writer_.take(rec);
  }

  void take_undecoded(const undecoded_run& run) {
    stop_if_abandoned();
    if (run.has_ampersand && !confirmed_ && run.size > max_copied_run) {
      queue_.wait_for_confirmation();
      confirmed_ = true;
    }
    // Decoded where it stands once the calling thread reads no more of it.
    pass_on_run(run, writer_, confirmed_ ? run.data : copy_.get());
  }

  bool ended_early() const { return writer_.ended_early(); }

 private:
  void stop_if_abandoned() const {
    if (queue_.is_abandoned()) throw second_half_abandoned{};
  }

  rendering_consumer writer_;
  output_queue& queue_;
  std::unique_ptr<char[]> copy_;
  bool confirmed_ = false;
};

/// Everything the helper works with, made on the calling thread before it
/// starts, so that the helper takes no memory a walk alone would not: a
/// document that converts alone converts in two halves or, when their
/// memory cannot be had, alone.
struct second_half {
  second_half(std::string& text_in, std::size_t start_in,
              const document_options& options)
      : text(text_in),
        start(start_in),
        out([this](std::string_view piece) { queue.put(piece); }),
        consumer(out, options, queue) {}

  bool reserve() {
    return queue.reserve(text.size() - start) && consumer.reserve();
  }

  std::string& text;
  const std::size_t start;
  output_queue queue;
  byte_sink out;  // hands the helper's output to the queue
  second_half_consumer consumer;
  // What the helper leaves.
  body_status status;
  std::exception_ptr failure;
};

void write_second_half(void* argument) {
  auto& half = *static_cast<second_half*>(argument);
  try {
    half.status.split = split_walk::splitter<second_half_consumer>(
                            half.text, half.consumer, half.start)
                            .run();
    half.status.ended_early = half.consumer.ended_early();
    half.out.flush();
  } catch (const second_half_abandoned&) {
    // The calling thread goes on alone and reads nothing of this.
  } catch (...) {
    half.failure = std::current_exception();
  }
  half.queue.close();
}

/// The second half of `text` from `start`, ready for the helper; none when
/// its memory cannot be had.
std::unique_ptr<second_half> make_second_half(std::string& text,
                                              std::size_t start,
                                              const document_options& options) {
  try {
    auto half = std::make_unique<second_half>(text, start, options);
    if (half->reserve()) return half;
  } catch (const std::bad_alloc&) {
    // Its sink's block: the walk alone needs none of this.
  }
  return nullptr;
}

/// True when the tag at `lt` is a start tag of a heading or a paragraph.
bool starts_a_section(std::string_view text, std::size_t lt) {
  // Most tags are told apart by their first letter alone.
  char first = fold_case(text[lt + 1]);
  if (first != 'h' && first != 'p') return false;
  // The name is all that is asked about: the tag's first few bytes, up to
  // its '>' if that comes first.
  std::string_view head = text.substr(lt + 1, longest_tag_name + 2);
  head = head.substr(0, head.find('>'));
  tag_identity tag = identify_written_tag(head);
  if (tag.is_end) return false;
  switch (tag.kind) {
    case M_HEADER_1:
    case M_HEADER_2:
    case M_HEADER_3:
    case M_HEADER_4:
    case M_HEADER_5:
    case M_HEADER_6:
    case M_PARAGRAPH: return true;
    default: return false;
  }
}

}  // namespace

std::size_t second_half_start(std::string_view text) {
  constexpr std::size_t npos = std::string_view::npos;
  if (text.size() < two_halves_threshold) return npos;
  std::size_t middle = text.size() / 2;
  std::size_t end = std::min(text.size(), middle + second_half_search_window);
  // A heading or paragraph seldom stands inside a list, where the halves
  // could not meet; failing one, any tag will do.
  std::size_t any_tag = npos;
  for (std::size_t lt = find_byte(text, '<', middle); lt < end;
       lt = find_byte(text, '<', lt + 1)) {
    if (!split_walk::may_begin_tag(text, lt)) continue;
    if (starts_a_section(text, lt)) return lt;
    if (any_tag == npos) any_tag = lt;
  }
  return any_tag;
}

body_status write_body_serially(std::string& text, byte_sink& dest,
                                const document_options& options) {
  rendering_consumer body(dest, options);
  body_status status;
  status.split = split_document_to(text, body);
  status.ended_early = body.ended_early();
  return status;
}

body_status write_body(std::string& text, byte_sink& dest,
                       const document_options& options) {
  std::size_t start = second_half_start(text);
  if (start == std::string_view::npos) {
    return write_body_serially(text, dest, options);
  }
  return write_body_in_halves(text, dest, options, start);
}

body_status write_body_in_halves(std::string& text, byte_sink& dest,
                                 const document_options& options,
                                 std::size_t start) {
  std::unique_ptr<second_half> half = make_second_half(text, start, options);
  helper_thread helper;
  if (!half || !helper.start(&write_second_half, half.get())) {
    return write_body_serially(text, dest, options);
  }
  output_queue& queue = half->queue;
  rendering_consumer first(dest, options);
  split_walk::splitter<rendering_consumer> split(text, first);
  try {
    if (split.run_until(start) && first.is_as_new()) {
      queue.confirm();
      queue.write_all_to(dest);
      helper.join();
      if (half->failure) std::rethrow_exception(half->failure);
      return half->status;
    }
    queue.abandon();
    helper.join();
  } catch (...) {
    queue.abandon();
    helper.join();
    throw;
  }
  // The first half did not end where the second began: on alone.
  body_status status;
  status.split = split.run();
  status.ended_early = first.ended_early();
  return status;
}

}  // namespace tagweave
