// The HTML standard's DOCTYPE identifier lists. Every comparison is ASCII
// case-insensitive.
#include "html5/tree/tree_quirks.h"

#include <array>
#include <string_view>

namespace tagweave::html5 {
namespace {

// Public identifiers that start with one of these put a document in quirks
// mode.
constexpr std::array<std::string_view, 55> quirks_public_prefixes = {
    "+//silmaril//dtd html pro v0r11 19970101//",
    "-//as//dtd html 3.0 aswedit + extensions//",
    "-//advasoft ltd//dtd html 3.0 aswedit + extensions//",
    "-//ietf//dtd html 2.0 level 1//",
    "-//ietf//dtd html 2.0 level 2//",
    "-//ietf//dtd html 2.0 strict level 1//",
    "-//ietf//dtd html 2.0 strict level 2//",
    "-//ietf//dtd html 2.0 strict//",
    "-//ietf//dtd html 2.0//",
    "-//ietf//dtd html 2.1e//",
    "-//ietf//dtd html 3.0//",
    "-//ietf//dtd html 3.2 final//",
    "-//ietf//dtd html 3.2//",
    "-//ietf//dtd html 3//",
    "-//ietf//dtd html level 0//",
    "-//ietf//dtd html level 1//",
    "-//ietf//dtd html level 2//",
    "-//ietf//dtd html level 3//",
    "-//ietf//dtd html strict level 0//",
    "-//ietf//dtd html strict level 1//",
    "-//ietf//dtd html strict level 2//",
    "-//ietf//dtd html strict level 3//",
    "-//ietf//dtd html strict//",
    "-//ietf//dtd html//",
    "-//metrius//dtd metrius presentational//",
    "-//microsoft//dtd internet explorer 2.0 html strict//",
    "-//microsoft//dtd internet explorer 2.0 html//",
    "-//microsoft//dtd internet explorer 2.0 tables//",
    "-//microsoft//dtd internet explorer 3.0 html strict//",
    "-//microsoft//dtd internet explorer 3.0 html//",
    "-//microsoft//dtd internet explorer 3.0 tables//",
    "-//netscape comm. corp.//dtd html//",
    "-//netscape comm. corp.//dtd strict html//",
    "-//o'reilly and associates//dtd html 2.0//",
    "-//o'reilly and associates//dtd html extended 1.0//",
    "-//o'reilly and associates//dtd html extended relaxed 1.0//",
    "-//sq//dtd html 2.0 hotmetal + extensions//",
    "-//softquad software//dtd hotmetal pro 6.0::19990601::extensions to html "
    "4.0//",
    "-//softquad//dtd hotmetal pro 4.0::19971010::extensions to html 4.0//",
    "-//spyglass//dtd html 2.0 extended//",
    "-//sun microsystems corp.//dtd hotjava html//",
    "-//sun microsystems corp.//dtd hotjava strict html//",
    "-//w3c//dtd html 3 1995-03-24//",
    "-//w3c//dtd html 3.2 draft//",
    "-//w3c//dtd html 3.2 final//",
    "-//w3c//dtd html 3.2//",
    "-//w3c//dtd html 3.2s draft//",
    "-//w3c//dtd html 4.0 frameset//",
    "-//w3c//dtd html 4.0 transitional//",
    "-//w3c//dtd html experimental 19960712//",
    "-//w3c//dtd html experimental 970421//",
    "-//w3c//dtd w3 html//",
    "-//w3o//dtd w3 html 3.0//",
    "-//webtechs//dtd mozilla html 2.0//",
    "-//webtechs//dtd mozilla html//",
};

// Whole public identifiers that mean quirks mode.
constexpr std::array<std::string_view, 3> quirks_public_ids = {
    "-//w3o//dtd w3 html strict 3.0//en//",
    "-/w3c/dtd html 4.0 transitional/en",
    "html",
};

constexpr std::string_view quirks_system_id =
    "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd";

// HTML 4.01 Frameset and Transitional: quirks without a system identifier,
// limited quirks with one.
constexpr std::array<std::string_view, 2> html401_loose_prefixes = {
    "-//w3c//dtd html 4.01 frameset//",
    "-//w3c//dtd html 4.01 transitional//",
};

// Public identifiers that mean limited-quirks mode.
constexpr std::array<std::string_view, 2> limited_quirks_prefixes = {
    "-//w3c//dtd xhtml 1.0 frameset//",
    "-//w3c//dtd xhtml 1.0 transitional//",
};

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equals_lower(std::string_view s, std::string_view lowercase) {
  if (s.size() != lowercase.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (lower(s[i]) != lowercase[i]) return false;
  }
  return true;
}

bool starts_with_lower(std::string_view s, std::string_view lowercase) {
  return s.size() >= lowercase.size() &&
         equals_lower(s.substr(0, lowercase.size()), lowercase);
}

template <std::size_t n>
bool starts_with_any(std::string_view s,
                     const std::array<std::string_view, n>& prefixes) {
  for (std::string_view p : prefixes) {
    if (starts_with_lower(s, p)) return true;
  }
  return false;
}

bool is_quirks(const token& t) {
  if (t.force_quirks || t.name != "html") return true;
  const std::string_view pub = t.public_id;
  if (t.has_public_id) {
    for (std::string_view id : quirks_public_ids) {
      if (equals_lower(pub, id)) return true;
    }
    if (starts_with_any(pub, quirks_public_prefixes)) return true;
    if (!t.has_system_id && starts_with_any(pub, html401_loose_prefixes)) {
      return true;
    }
  }
  return t.has_system_id && equals_lower(t.system_id, quirks_system_id);
}

bool is_limited_quirks(const token& t) {
  if (!t.has_public_id) return false;
  return starts_with_any(t.public_id, limited_quirks_prefixes) ||
         (t.has_system_id &&
          starts_with_any(t.public_id, html401_loose_prefixes));
}

}  // namespace

quirks_mode doctype_quirks_mode(const token& doctype) {
  if (is_quirks(doctype)) return quirks_mode::quirks;
  if (is_limited_quirks(doctype)) return quirks_mode::limited_quirks;
  return quirks_mode::no_quirks;
}

}  // namespace tagweave::html5
