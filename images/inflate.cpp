// A checking inflater in the manner of a canonical-Huffman decoder that
// reads a code a bit at a time: short and easy to trust, and fast enough for
// the pictures of a page (tens of megabytes a second).
#include "images/inflate.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace tagweave {
namespace {

constexpr int max_code_bits = 15;
constexpr int literal_length_codes = 288;  // 286 used, 2 only in fixed codes
constexpr int distance_codes = 30;
constexpr std::size_t window_size = 32 * 1024;

/// Reads the stream's bits, lowest first, as deflate packs them, from a
/// 64-bit buffer refilled a byte at a time.
class bit_reader {
 public:
  explicit bit_reader(std::string_view bytes) : bytes_(bytes) {}

  /// The next `count` bits (up to 16) as a number, or -1 past the end.
  int bits(int count) {
    if (!fill(count)) return -1;
    int value = static_cast<int>(buffer_ & ((std::uint64_t{1} << count) - 1));
    drop(count);
    return value;
  }
  /// The next `count` bits without taking them; bits past the end read as
  /// zero. `available()` says how many are real.
  unsigned peek(int count) {
    fill(count);
    return static_cast<unsigned>(buffer_ & ((std::uint64_t{1} << count) - 1));
  }
  int available() const { return held_; }
  void drop(int count) {
    buffer_ >>= count;
    held_ -= count;
  }
  /// Drops the bits left in the current byte.
  void align() { drop(held_ % 8); }
  /// The next `count` whole bytes (after align()), or false past the end.
  bool bytes(std::size_t count, std::string_view& out) {
    // Whole bytes still in the buffer go back to the text first.
    at_ -= static_cast<std::size_t>(held_ / 8);
    buffer_ = 0;
    held_ = 0;
    if (bytes_.size() - at_ < count) return false;
    out = bytes_.substr(at_, count);
    at_ += count;
    return true;
  }

 private:
  /// Holds at least `count` bits if the text has them; false if not.
  bool fill(int count) {
    while (held_ <= 56 && at_ < bytes_.size()) {
      buffer_ |= std::uint64_t{static_cast<unsigned char>(bytes_[at_++])}
                 << held_;
      held_ += 8;
    }
    return held_ >= count;
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
  std::uint64_t buffer_ = 0;
  int held_ = 0;
};

/// Codes this long or shorter are decoded with one look-up of the next
/// bits; longer ones, rare in practice, a bit at a time.
constexpr int fast_bits = 9;

/// A canonical Huffman code: how many codes each length has, the symbols
/// in code order, and for every value of the next `fast_bits` bits the
/// symbol and length of the short code they begin with (length 0: none).
struct huffman {
  std::array<std::uint16_t, max_code_bits + 1> count{};
  std::array<std::uint16_t, literal_length_codes> symbol{};
  struct fast_entry {
    std::uint16_t symbol = 0;
    std::uint8_t length = 0;
  };
  std::array<fast_entry, 1u << fast_bits> fast{};
};

/// The `length` low bits of `code` in reverse order: deflate sends a code's
/// first bit first, and the look-up is indexed by the bits as they come.
unsigned reversed(unsigned code, int length) {
  unsigned out = 0;
  for (int i = 0; i < length; ++i) {
    out = out << 1 | (code & 1);
    code >>= 1;
  }
  return out;
}

/// Fills the look-up for the short codes of `h`, whose codes are assigned
/// canonically: in order of length, then of symbol.
void fill_fast_table(huffman& h, const std::uint8_t* lengths, int symbols) {
  h.fast.fill({});
  std::array<unsigned, max_code_bits + 2> next_code{};
  unsigned code = 0;
  for (int len = 1; len <= max_code_bits; ++len) {
    // Unused symbols (length 0) take no code.
    code = (code + (len > 1 ? h.count[len - 1] : 0u)) << 1;
    next_code[len] = code;
  }
  for (int s = 0; s < symbols; ++s) {
    int len = lengths[s];
    if (len == 0) continue;
    unsigned assigned = next_code[len]++;
    if (len > fast_bits) continue;
    unsigned first = reversed(assigned, len);
    for (unsigned high = 0; high < (1u << (fast_bits - len)); ++high) {
      h.fast[first | high << len] = {static_cast<std::uint16_t>(s),
                                     static_cast<std::uint8_t>(len)};
    }
  }
}

/// Builds the code from each symbol's code length. False for a code that
/// is over-subscribed, or incomplete, except that a literal/length or
/// distance code may be a single code of one bit, as zlib allows.
bool build(huffman& h, const std::uint8_t* lengths, int symbols,
           bool single_code_allowed) {
  h.count.fill(0);
  h.fast.fill({});
  for (int s = 0; s < symbols; ++s) ++h.count[lengths[s]];
  if (h.count[0] == symbols) return true;  // no codes: decoding fails later
  int left = 1;
  for (int len = 1; len <= max_code_bits; ++len) {
    left = 2 * left - h.count[len];
    if (left < 0) return false;
  }
  std::array<std::uint16_t, max_code_bits + 1> offset{};
  for (int len = 1; len < max_code_bits; ++len) {
    offset[len + 1] = static_cast<std::uint16_t>(offset[len] + h.count[len]);
  }
  for (int s = 0; s < symbols; ++s) {
    if (lengths[s] != 0)
      h.symbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
  }
  int codes = symbols - h.count[0];
  bool usable =
      left == 0 || (single_code_allowed && codes == 1 && h.count[1] == 1);
  if (usable) fill_fast_table(h, lengths, symbols);
  return usable;
}

/// The next symbol of code `h`, read a bit at a time, or -1 for bits that
/// are no code or past the end.
int decode_slowly(bit_reader& in, const huffman& h) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= max_code_bits; ++len) {
    int bit = in.bits(1);
    if (bit < 0) return -1;
    code |= bit;
    int count = h.count[len];
    if (code - first < count) return h.symbol[index + code - first];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

/// The next symbol of code `h`, or -1 for bits that are no code or past
/// the end.
int decode(bit_reader& in, const huffman& h) {
  const huffman::fast_entry& entry = h.fast[in.peek(fast_bits)];
  if (entry.length != 0 && entry.length <= in.available()) {
    in.drop(entry.length);
    return entry.symbol;
  }
  return decode_slowly(in, h);
}

constexpr std::array<std::uint16_t, 29> length_base{
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> length_extra{
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> distance_base{
    1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> distance_extra{
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

/// Where inflated bytes go: the last 32 KiB stay for back references, and
/// the window is handed on, with the Adler-32 sum kept, each time it fills.
class output_window {
 public:
  output_window(std::uint64_t max_output, const inflated_piece_sink& take)
      : max_output_(max_output), take_(take) {}

  bool put(unsigned char byte) {
    if (total_ == max_output_) return false;
    window_[filled_++] = byte;
    ++total_;
    return filled_ < window_size || hand_on();
  }
  /// Copies `length` bytes from `distance` back; false when that reaches
  /// before the start of the output.
  bool copy(std::size_t distance, std::size_t length) {
    if (distance > total_ || distance > window_size) return false;
    if (length > max_output_ - total_) return false;
    while (length > 0) {
      // As much as neither the source nor the destination wraps. When the
      // two overlap (a distance shorter than the length), deflate means
      // the last `distance` bytes repeated.
      std::size_t from = (filled_ + window_size - distance) % window_size;
      std::size_t n =
          std::min({length, window_size - filled_, window_size - from});
      unsigned char* to = &window_[filled_];
      if (distance >= n) {
        std::memcpy(to, &window_[from], n);
      } else {
        // The bytes repeat every `distance`: copy one period, then double
        // what is copied, each copy apart from what it copies.
        std::memcpy(to, &window_[from], distance);
        for (std::size_t copied = distance; copied < n;) {
          std::size_t chunk = std::min(copied, n - copied);
          std::memcpy(to + copied, to, chunk);
          copied += chunk;
        }
      }
      filled_ += n;
      total_ += n;
      length -= n;
      if (filled_ == window_size && !hand_on()) return false;
    }
    return true;
  }
  /// Hands on what the window holds; true when the sink took it.
  bool finish() { return filled_ == 0 || hand_on(); }
  std::uint32_t adler() const { return adler_b_ << 16 | adler_a_; }

 private:
  bool hand_on() {
    std::string_view piece(reinterpret_cast<const char*>(window_.data()),
                           filled_);
    add_to_adler(piece);
    filled_ = 0;
    return take_(piece);
  }
  void add_to_adler(std::string_view piece) {
    constexpr std::uint32_t modulus = 65521;
    // 5552 bytes is the most that cannot overflow 32 bits before a modulo;
    // a multiple of the block below.
    constexpr std::size_t run = 5552;
    constexpr std::size_t block = 16;
    static_assert(run % block == 0);
    // Sixteen bytes at a time: a block adds its sum to a, and to b sixteen
    // times the old a plus each byte weighted by how many sums it enters.
    // The bytes of a block are independent, so the loop pipelines (and
    // vectorizes) where the byte-by-byte chain could not. Sums in locals:
    // stores through a char pointer might otherwise be taken to change the
    // members on every byte.
    std::uint32_t a = adler_a_, b = adler_b_;
    const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
    std::size_t left = piece.size();
    while (left > 0) {
      std::size_t n = std::min(run, left);
      std::size_t i = 0;
      for (; i + block <= n; i += block) {
        std::uint32_t sum = 0, weighted = 0;
        for (std::size_t k = 0; k < block; ++k) {
          sum += bytes[i + k];
          weighted += static_cast<std::uint32_t>(block - k) * bytes[i + k];
        }
        b += static_cast<std::uint32_t>(block) * a + weighted;
        a += sum;
      }
      for (; i < n; ++i) {
        a += bytes[i];
        b += a;
      }
      a %= modulus;
      b %= modulus;
      bytes += n;
      left -= n;
    }
    adler_a_ = a;
    adler_b_ = b;
  }

  std::array<unsigned char, window_size> window_{};
  std::size_t filled_ = 0;  // also where the next byte goes
  std::uint64_t total_ = 0;
  std::uint64_t max_output_;
  const inflated_piece_sink& take_;
  std::uint32_t adler_a_ = 1, adler_b_ = 0;
};

bool inflate_codes(bit_reader& in, output_window& out, const huffman& lengths,
                   const huffman& distances) {
  for (;;) {
    int symbol = decode(in, lengths);
    if (symbol < 0) return false;
    if (symbol < 256) {
      if (!out.put(static_cast<unsigned char>(symbol))) return false;
      continue;
    }
    if (symbol == 256) return true;
    symbol -= 257;
    if (symbol >= 29) return false;
    int extra = in.bits(length_extra[symbol]);
    if (extra < 0) return false;
    std::size_t length = length_base[symbol] + static_cast<std::size_t>(extra);
    int d = decode(in, distances);
    if (d < 0 || d >= distance_codes) return false;
    int d_extra = in.bits(distance_extra[d]);
    if (d_extra < 0) return false;
    std::size_t distance = distance_base[d] + static_cast<std::size_t>(d_extra);
    if (!out.copy(distance, length)) return false;
  }
}

bool inflate_stored(bit_reader& in, output_window& out) {
  in.align();
  std::string_view header;
  if (!in.bytes(4, header)) return false;
  auto byte = [&header](int i) {
    return static_cast<unsigned>(static_cast<unsigned char>(header[i]));
  };
  unsigned length = byte(0) | byte(1) << 8;
  unsigned complement = byte(2) | byte(3) << 8;
  if (length != (~complement & 0xFFFFu)) return false;
  std::string_view data;
  if (!in.bytes(length, data)) return false;
  for (char c : data) {
    if (!out.put(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool inflate_fixed(bit_reader& in, output_window& out) {
  static const auto codes = [] {
    std::array<std::uint8_t, literal_length_codes> lengths{};
    for (int s = 0; s < 144; ++s) lengths[s] = 8;
    for (int s = 144; s < 256; ++s) lengths[s] = 9;
    for (int s = 256; s < 280; ++s) lengths[s] = 7;
    for (int s = 280; s < literal_length_codes; ++s) lengths[s] = 8;
    std::array<std::uint8_t, distance_codes> distance_lengths{};
    distance_lengths.fill(5);
    std::pair<huffman, huffman> built;
    build(built.first, lengths.data(), literal_length_codes, false);
    build(built.second, distance_lengths.data(), distance_codes, false);
    return built;
  }();
  return inflate_codes(in, out, codes.first, codes.second);
}

bool inflate_dynamic(bit_reader& in, output_window& out) {
  int literals = in.bits(5), distances = in.bits(5), code_lengths = in.bits(4);
  if (literals < 0 || distances < 0 || code_lengths < 0) return false;
  literals += 257;
  distances += 1;
  code_lengths += 4;
  if (literals > 286 || distances > distance_codes) return false;
  constexpr std::array<int, 19> order{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                      11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::array<std::uint8_t, literal_length_codes + distance_codes> lengths{};
  for (int i = 0; i < code_lengths; ++i) {
    int len = in.bits(3);
    if (len < 0) return false;
    lengths[order[i]] = static_cast<std::uint8_t>(len);
  }
  huffman length_code;
  if (!build(length_code, lengths.data(), 19, false)) return false;
  lengths.fill(0);
  for (int at = 0; at < literals + distances;) {
    int symbol = decode(in, length_code);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[at++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    // 16 repeats the last length 3-6 times, 17 and 18 give 3-10 and 11-138
    // zeros.
    std::uint8_t value = 0;
    int extra = 0, repeat = 0;
    if (symbol == 16) {
      if (at == 0) return false;  // nothing to repeat
      value = lengths[at - 1];
      extra = in.bits(2);
      repeat = 3 + extra;
    } else if (symbol == 17) {
      extra = in.bits(3);
      repeat = 3 + extra;
    } else {
      extra = in.bits(7);
      repeat = 11 + extra;
    }
    if (extra < 0 || at + repeat > literals + distances) return false;
    for (int i = 0; i < repeat; ++i) lengths[at++] = value;
  }
  if (lengths[256] == 0) return false;  // no end of block
  huffman literal_code, distance_code;
  if (!build(literal_code, lengths.data(), literals, true)) return false;
  if (!build(distance_code, lengths.data() + literals, distances, true)) {
    return false;
  }
  return inflate_codes(in, out, literal_code, distance_code);
}

bool valid_zlib_header(std::string_view stream) {
  if (stream.size() < 2) return false;
  auto method = static_cast<unsigned char>(stream[0]);
  auto flags = static_cast<unsigned char>(stream[1]);
  bool deflate_with_small_window = (method & 0x0F) == 8 && (method >> 4) <= 7;
  bool preset_dictionary = (flags & 0x20) != 0;
  return deflate_with_small_window && !preset_dictionary &&
         (method * 256u + flags) % 31 == 0;
}

}  // namespace

bool inflate_zlib(std::string_view stream, std::uint64_t max_output,
                  const inflated_piece_sink& take) {
  if (!valid_zlib_header(stream)) return false;
  bit_reader in(stream.substr(2));
  output_window out(max_output, take);
  for (bool last = false; !last;) {
    int final_block = in.bits(1), type = in.bits(2);
    if (final_block < 0 || type < 0) return false;
    last = final_block == 1;
    bool inflated = false;
    switch (type) {
      case 0: inflated = inflate_stored(in, out); break;
      case 1: inflated = inflate_fixed(in, out); break;
      case 2: inflated = inflate_dynamic(in, out); break;
      default: return false;
    }
    if (!inflated) return false;
  }
  if (!out.finish()) return false;
  // Bytes after the checksum are let be, as PNG readers let them be.
  in.align();
  std::string_view checksum;
  if (!in.bytes(4, checksum)) return false;
  std::uint32_t expected = 0;
  for (char c : checksum) {
    expected = expected << 8 | static_cast<unsigned char>(c);
  }
  return expected == out.adler();
}

}  // namespace tagweave
