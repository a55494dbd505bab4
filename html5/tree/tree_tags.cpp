// Tag IDs and the name adjustment tables of the HTML standard's foreign
// content rules. Every table is sorted by its lowercase key, which is checked
// at compile time, so one binary search answers each look-up.
#include "html5/tree/tree_tags.h"

#include <algorithm>
#include <utility>

namespace tagweave::html5 {
namespace {

static_assert(std::is_sorted(known_tag_names.begin(), known_tag_names.end()));
static_assert(known_tag_names.size() ==
              static_cast<std::size_t>(tag::first_unknown));

using name_pair = std::pair<std::string_view, std::string_view>;

// The HTML standard's table for adjusting SVG tag names.
constexpr std::array<name_pair, 37> svg_tag_names = {{
    {"altglyph", "altGlyph"},
    {"altglyphdef", "altGlyphDef"},
    {"altglyphitem", "altGlyphItem"},
    {"animatecolor", "animateColor"},
    {"animatemotion", "animateMotion"},
    {"animatetransform", "animateTransform"},
    {"clippath", "clipPath"},
    {"feblend", "feBlend"},
    {"fecolormatrix", "feColorMatrix"},
    {"fecomponenttransfer", "feComponentTransfer"},
    {"fecomposite", "feComposite"},
    {"feconvolvematrix", "feConvolveMatrix"},
    {"fediffuselighting", "feDiffuseLighting"},
    {"fedisplacementmap", "feDisplacementMap"},
    {"fedistantlight", "feDistantLight"},
    {"fedropshadow", "feDropShadow"},
    {"feflood", "feFlood"},
    {"fefunca", "feFuncA"},
    {"fefuncb", "feFuncB"},
    {"fefuncg", "feFuncG"},
    {"fefuncr", "feFuncR"},
    {"fegaussianblur", "feGaussianBlur"},
    {"feimage", "feImage"},
    {"femerge", "feMerge"},
    {"femergenode", "feMergeNode"},
    {"femorphology", "feMorphology"},
    {"feoffset", "feOffset"},
    {"fepointlight", "fePointLight"},
    {"fespecularlighting", "feSpecularLighting"},
    {"fespotlight", "feSpotLight"},
    {"fetile", "feTile"},
    {"feturbulence", "feTurbulence"},
    {"foreignobject", "foreignObject"},
    {"glyphref", "glyphRef"},
    {"lineargradient", "linearGradient"},
    {"radialgradient", "radialGradient"},
    {"textpath", "textPath"},
}};

// The HTML standard's table for "adjust SVG attributes".
constexpr std::array<name_pair, 58> svg_attribute_names = {{
    {"attributename", "attributeName"},
    {"attributetype", "attributeType"},
    {"basefrequency", "baseFrequency"},
    {"baseprofile", "baseProfile"},
    {"calcmode", "calcMode"},
    {"clippathunits", "clipPathUnits"},
    {"diffuseconstant", "diffuseConstant"},
    {"edgemode", "edgeMode"},
    {"filterunits", "filterUnits"},
    {"glyphref", "glyphRef"},
    {"gradienttransform", "gradientTransform"},
    {"gradientunits", "gradientUnits"},
    {"kernelmatrix", "kernelMatrix"},
    {"kernelunitlength", "kernelUnitLength"},
    {"keypoints", "keyPoints"},
    {"keysplines", "keySplines"},
    {"keytimes", "keyTimes"},
    {"lengthadjust", "lengthAdjust"},
    {"limitingconeangle", "limitingConeAngle"},
    {"markerheight", "markerHeight"},
    {"markerunits", "markerUnits"},
    {"markerwidth", "markerWidth"},
    {"maskcontentunits", "maskContentUnits"},
    {"maskunits", "maskUnits"},
    {"numoctaves", "numOctaves"},
    {"pathlength", "pathLength"},
    {"patterncontentunits", "patternContentUnits"},
    {"patterntransform", "patternTransform"},
    {"patternunits", "patternUnits"},
    {"pointsatx", "pointsAtX"},
    {"pointsaty", "pointsAtY"},
    {"pointsatz", "pointsAtZ"},
    {"preservealpha", "preserveAlpha"},
    {"preserveaspectratio", "preserveAspectRatio"},
    {"primitiveunits", "primitiveUnits"},
    {"refx", "refX"},
    {"refy", "refY"},
    {"repeatcount", "repeatCount"},
    {"repeatdur", "repeatDur"},
    {"requiredextensions", "requiredExtensions"},
    {"requiredfeatures", "requiredFeatures"},
    {"specularconstant", "specularConstant"},
    {"specularexponent", "specularExponent"},
    {"spreadmethod", "spreadMethod"},
    {"startoffset", "startOffset"},
    {"stddeviation", "stdDeviation"},
    {"stitchtiles", "stitchTiles"},
    {"surfacescale", "surfaceScale"},
    {"systemlanguage", "systemLanguage"},
    {"tablevalues", "tableValues"},
    {"targetx", "targetX"},
    {"targety", "targetY"},
    {"textlength", "textLength"},
    {"viewbox", "viewBox"},
    {"viewtarget", "viewTarget"},
    {"xchannelselector", "xChannelSelector"},
    {"ychannelselector", "yChannelSelector"},
    {"zoomandpan", "zoomAndPan"},
}};

struct foreign_attribute_entry {
  std::string_view name;
  foreign_attribute adjusted;
};

// The HTML standard's table for "adjust foreign attributes".
constexpr std::array<foreign_attribute_entry, 11> foreign_attributes = {{
    {"xlink:actuate", {attribute_namespace::xlink, "actuate"}},
    {"xlink:arcrole", {attribute_namespace::xlink, "arcrole"}},
    {"xlink:href", {attribute_namespace::xlink, "href"}},
    {"xlink:role", {attribute_namespace::xlink, "role"}},
    {"xlink:show", {attribute_namespace::xlink, "show"}},
    {"xlink:title", {attribute_namespace::xlink, "title"}},
    {"xlink:type", {attribute_namespace::xlink, "type"}},
    {"xml:lang", {attribute_namespace::xml, "lang"}},
    {"xml:space", {attribute_namespace::xml, "space"}},
    {"xmlns", {attribute_namespace::xmlns, "xmlns"}},
    {"xmlns:xlink", {attribute_namespace::xmlns, "xlink"}},
}};

constexpr bool sorted_by_key(const auto& table) {
  return std::is_sorted(table.begin(), table.end(),
                        [](const auto& x, const auto& y) {
                          return std::get<0>(x) < std::get<0>(y);
                        });
}
static_assert(sorted_by_key(svg_tag_names));
static_assert(sorted_by_key(svg_attribute_names));
static_assert(std::is_sorted(foreign_attributes.begin(),
                             foreign_attributes.end(),
                             [](const auto& x, const auto& y) {
                               return x.name < y.name;
                             }));

std::string_view adjusted_name(const auto& table, std::string_view name) {
  auto it = std::lower_bound(table.begin(), table.end(), name,
                             [](const name_pair& entry, std::string_view key) {
                               return entry.first < key;
                             });
  return it != table.end() && it->first == name ? it->second : name;
}

}  // namespace

namespace {

// Every tag token looks its name up, so the sorted table is indexed by an
// open-addressing hash table built at compile time: one hash and, for a
// known name, one comparison. The table has a power of two slots, at least
// twice as many as names, so probes stay short.
constexpr std::size_t tag_slots = 512;
static_assert(tag_slots >= 2 * known_tag_names.size());
constexpr std::uint16_t empty_slot = 0xFFFF;

constexpr unsigned tag_slot_bits = 9;
static_assert(tag_slots == std::size_t{1} << tag_slot_bits);

/// The first slot to probe for `name`: its length and its first, middle and
/// last bytes, mixed by one multiply. That tells the known names apart
/// well enough for short probes, at a cost that does not grow with the
/// name; the probe's comparison decides.
constexpr std::size_t hash_name(std::string_view name) {
  std::uint32_t key = static_cast<std::uint32_t>(name.size() & 0xFF);
  if (!name.empty()) {
    key |= std::uint32_t{static_cast<unsigned char>(name.front())} << 8;
    key |= std::uint32_t{static_cast<unsigned char>(name[name.size() / 2])}
           << 16;
    key |= std::uint32_t{static_cast<unsigned char>(name.back())} << 24;
  }
  return (key * 2654435761u) >> (32 - tag_slot_bits);
}

/// Names compared a byte at a time: they are short, and most are known.
constexpr bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

constexpr std::array<std::uint16_t, tag_slots> make_tag_slots() {
  std::array<std::uint16_t, tag_slots> slots{};
  for (auto& s : slots) s = empty_slot;
  for (std::size_t i = 0; i < known_tag_names.size(); ++i) {
    std::size_t at = hash_name(known_tag_names[i]);
    while (slots[at] != empty_slot) at = (at + 1) & (tag_slots - 1);
    slots[at] = static_cast<std::uint16_t>(i);
  }
  return slots;
}

constexpr std::array<std::uint16_t, tag_slots> known_tag_slots =
    make_tag_slots();

/// The longest run of occupied slots a probe may walk.
constexpr std::size_t longest_probe(
    const std::array<std::uint16_t, tag_slots>& slots) {
  std::size_t longest = 0;
  for (std::size_t start = 0; start < tag_slots; ++start) {
    std::size_t run = 0;
    while (slots[(start + run) & (tag_slots - 1)] != empty_slot) ++run;
    longest = std::max(longest, run);
  }
  return longest;
}
// Clustering would make every lookup of an unknown name walk far.
static_assert(longest_probe(known_tag_slots) <= 12);

}  // namespace

std::optional<tag> find_known_tag(std::string_view name) {
  for (std::size_t at = hash_name(name);; at = (at + 1) & (tag_slots - 1)) {
    std::uint16_t i = known_tag_slots[at];
    if (i == empty_slot) return std::nullopt;
    if (same_name(known_tag_names[i], name)) return static_cast<tag>(i);
  }
}

std::string_view known_tag_name(tag t) {
  return known_tag_names[static_cast<std::size_t>(t)];
}

std::string_view adjusted_svg_tag_name(std::string_view name) {
  return adjusted_name(svg_tag_names, name);
}

std::string_view adjusted_svg_attribute_name(std::string_view name) {
  return adjusted_name(svg_attribute_names, name);
}

std::string_view adjusted_mathml_attribute_name(std::string_view name) {
  return name == "definitionurl" ? std::string_view("definitionURL") : name;
}

std::optional<foreign_attribute> adjusted_foreign_attribute(
    std::string_view name) {
  auto it = std::lower_bound(
      foreign_attributes.begin(), foreign_attributes.end(), name,
      [](const foreign_attribute_entry& entry, std::string_view key) {
        return entry.name < key;
      });
  if (it == foreign_attributes.end() || it->name != name) return std::nullopt;
  return it->adjusted;
}

bool is_head_element(tag t) {
  switch (t) {
    case tag::base:
    case tag::basefont:
    case tag::bgsound:
    case tag::link:
    case tag::meta:
    case tag::noframes:
    case tag::script:
    case tag::style:
    case tag::template_:
    case tag::title: return true;
    default: return false;
  }
}

}  // namespace tagweave::html5
