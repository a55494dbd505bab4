// The bytes of a file turned into the HTML standard's input stream: the
// encoding found by the HTML standard's encoding sniffing for a file (or
// given by the user), the Encoding standard's decoder for it, and the input
// stream's preprocessing (no CR), in one pass to UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave::html5 {

enum class encoding { utf8, utf16le, utf16be, windows1252 };

/// The encoding the Encoding standard's label table gives `label` (ASCII
/// whitespace trimmed, ASCII case-insensitive), among the ones we decode:
/// every label of UTF-8, UTF-16LE, UTF-16BE and windows-1252 (which includes
/// "iso-8859-1", "latin1", "us-ascii", "ascii", "cp1252", "x-cp1252", ...).
/// `known_other` is set when the label names another encoding of the
/// standard (e.g. "shift_jis", "iso-8859-2", "replacement"); both empty for
/// junk.
struct label_lookup {
  std::optional<encoding> found;
  bool known_other = false;
  std::string_view canonical_name;  ///< the standard's name, for messages
};
label_lookup lookup_label(std::string_view label);

/// The Encoding standard's name of one of ours ("UTF-8", "windows-1252").
std::string_view name_of(encoding e);

struct decoded_input {
  /// UTF-8, after the input stream's preprocessing: every CR LF and lone CR
  /// become LF.
  std::string text;
  encoding used = encoding::utf8;
  /// Non-empty when the document declared (or the caller asked for) an
  /// encoding we cannot decode: its name; the bytes were then read as UTF-8.
  /// The caller says so once on standard error.
  std::string unsupported;
};

/// Decodes a whole file. A byte order mark (UTF-8, UTF-16LE, UTF-16BE; it is
/// removed) decides first, as in the HTML standard, where it precedes even
/// the user's choice. Then `override_label` (the --encoding option), if
/// given, is used (a junk label counts as unsupported; the caller may reject
/// it before). Otherwise the prescan of the first prescan_window bytes
/// (sniff_encoding), else UTF-8.
decoded_input decode_input(
    std::string_view bytes,
    std::optional<std::string_view> override_label = std::nullopt);

/// The same, taking the bytes over: when they are valid UTF-8 (as most
/// pages are) they become the text in place, so a file is never held twice.
decoded_input decode_owned_input(
    std::string bytes,
    std::optional<std::string_view> override_label = std::nullopt);

/// The HTML standard encourages user agents to prescan only the first 1024
/// bytes; a declaration further in is not seen.
inline constexpr std::size_t prescan_window = 1024;

/// What the HTML standard's encoding sniffing finds in a file before any
/// default applies.
struct sniffed_encoding {
  /// From the byte order mark or a declaration; empty when neither says
  /// anything. Declared UTF-16 is already UTF-8 here, x-user-defined
  /// windows-1252.
  label_lookup found;
  std::size_t bom_length = 0;  ///< bytes of byte order mark to skip
};

/// BOM sniffing, else "prescan a byte stream to determine its encoding"
/// over the first `window` bytes (<meta charset>, <meta http-equiv=
/// "content-type" content="...charset=...">, a UTF-16 XML declaration).
sniffed_encoding sniff_encoding(std::string_view bytes,
                                std::size_t window = prescan_window);

}  // namespace tagweave::html5
