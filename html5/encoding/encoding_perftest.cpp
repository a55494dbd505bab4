// Decoding throughput: an ASCII page (LF and CR LF line ends), text that is
// mostly multibyte UTF-8, a windows-1252 page and UTF-16. Sniffing reads at
// most prescan_window bytes, so these measure the decoders.
#include "html5/encoding/encoding.h"

#include "testing/bench_support.h"

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

namespace tagweave::html5 {
namespace {

using testing::report_bytes;
using testing::with_sizes;

std::string repeated_to(std::string_view unit, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

std::string with_crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

/// Greek and Cyrillic (two bytes a letter) and Japanese (three), with a
/// little markup, as a page in those languages has.
constexpr std::string_view multibyte_paragraph =
    "<p>Ελληνικά κείμενα με λίγη σήμανση, русский текст для проверки, "
    "日本語のテキストと中文文本が混ざった段落です。</p>\n";

/// Latin-1 prose: mostly ASCII, an accented letter or curly quote a word or
/// two apart.
constexpr std::string_view windows_1252_paragraph =
    "<p>Caf\xE9, na\xEFve fa\xE7"
    "ade: \x93quoted\x94 text \x96 and "
    "\x80 5 for the r\xE9sum\xE9.</p>\n";

std::string utf16le_of_ascii(std::string_view ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

void decode_as(benchmark::State& state, const std::string& bytes,
               std::string_view label) {
  for (auto _ : state) {
    decoded_input decoded = decode_input(bytes, label);
    benchmark::DoNotOptimize(decoded);
  }
  report_bytes(state, bytes.size());
}

std::size_t size_of(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

void BM_decode_ascii_page(benchmark::State& state) {
  decode_as(state, testing::mixed_page_of(size_of(state)), "utf-8");
}

void BM_decode_ascii_page_crlf(benchmark::State& state) {
  decode_as(state, with_crlf(testing::mixed_page_of(size_of(state))), "utf-8");
}

void BM_decode_multibyte_utf8(benchmark::State& state) {
  decode_as(state, repeated_to(multibyte_paragraph, size_of(state)), "utf-8");
}

void BM_decode_windows_1252(benchmark::State& state) {
  decode_as(state, repeated_to(windows_1252_paragraph, size_of(state)),
            "windows-1252");
}

void BM_decode_utf16le(benchmark::State& state) {
  decode_as(state, utf16le_of_ascii(testing::mixed_page_of(size_of(state))),
            "utf-16le");
}

/// The whole path a file takes: sniffing (no declaration) and UTF-8.
void BM_sniff_and_decode_ascii_page(benchmark::State& state) {
  std::string page = testing::mixed_page_of(size_of(state));
  for (auto _ : state) {
    decoded_input decoded = decode_input(page);
    benchmark::DoNotOptimize(decoded);
  }
  report_bytes(state, page.size());
}

BENCHMARK(BM_decode_ascii_page)->Apply(with_sizes);
BENCHMARK(BM_decode_ascii_page_crlf)->Apply(with_sizes);
BENCHMARK(BM_decode_multibyte_utf8)->Apply(with_sizes);
BENCHMARK(BM_decode_windows_1252)->Apply(with_sizes);
BENCHMARK(BM_decode_utf16le)->Apply(with_sizes);
BENCHMARK(BM_sniff_and_decode_ascii_page)->Apply(with_sizes);

}  // namespace
}  // namespace tagweave::html5
