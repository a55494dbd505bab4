// Character references: "&lt", "&gt", "&amp" (any case) and decimal numeric
// references from 1 to 255. Each recognised reference becomes exactly one
// byte, so decoding only ever shortens a string. A reference that is not
// recognised stays as written and decoding resumes right after its '&'.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave {

/// True when text[pos] is a '&' followed by '#' or an ASCII letter.
bool is_reference_start(std::string_view text, std::size_t pos);

/// A reference that decoded: the byte it stands for, and where the text
/// after it resumes.
struct decoded_reference {
  char byte;
  std::size_t resume;
};

/// Decodes the reference whose '&' stands at `amp` (a reference start).
/// `terminated` says whether a ';' follows somewhere after the '&' in
/// `text`: a terminated reference must be a whole name, while an open one
/// matches a name by its beginning. Returns nothing for a reference that is
/// not recognised. Looks only at the name, the number and the blanks after
/// them, never further, so that decoding stays linear.
std::optional<decoded_reference> decode_reference(std::string_view text,
                                                  std::size_t amp,
                                                  bool terminated);

/// Decodes every character reference of the `size` bytes at `data` in
/// place and returns the decoded length, never more than `size`.
std::size_t decode_entities(char* data, std::size_t size);

/// Decodes every character reference of `text` in place.
void decode_entities(std::string& text);

}  // namespace tagweave
