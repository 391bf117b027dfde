#include "platform/files/PropertyListDepth.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::size_t kTrailerSize = 32;

// ---- XML ----------------------------------------------------------------------------------
//
// Every construct ends exactly where the library's own reader ends it: a place where this
// count skipped further than the reader would hide elements from it, or, skipping less, let
// it count closing tags the reader never sees. Where the reader gives up (an unmatched
// quote, a '<' inside a tag, an unknown declaration), the count stops too: the reader builds
// nothing after that.

constexpr std::size_t npos = std::string_view::npos;

// The first position at or after from that holds one of stops, or starts text when text is
// given, outside double-quoted runs when quotes is set; npos when there is none or a quote
// is never closed.
std::size_t find(std::string_view t, std::size_t from, std::string_view stops, bool quotes,
                 std::string_view text = {}) {
  for (std::size_t i = from; i < t.size(); ++i) {
    if (quotes && t[i] == '"') {
      i = t.find('"', i + 1);
      if (i == npos) return npos;
    }
    if (text.empty() ? stops.find(t[i]) != npos : t.substr(i).starts_with(text)) return i;
  }
  return npos;
}

std::size_t past(std::string_view t, std::size_t from, std::string_view text, bool quotes) {
  const std::size_t at = find(t, from, {}, quotes, text);
  return at == npos ? npos : at + text.size();
}

// The position of a tag's closing '>': its name runs to a blank, '<' or '>' (quotes are
// part of a name), and what follows a blank to '<' or '>' outside quotes. npos when the
// reader would reject the tag.
std::size_t tagEnd(std::string_view t, std::size_t from) {
  std::size_t at = t.find_first_of(" \r\n\t<>", from);
  if (at != npos && t[at] != '>' && t[at] != '<') at = find(t, at, "<>", true);
  return at != npos && t[at] == '>' ? at : npos;
}

// ---- Binary -------------------------------------------------------------------------------

struct Trailer {
  unsigned offsetSize;
  unsigned refSize;
  std::uint64_t objects;
  std::uint64_t top;
  std::uint64_t tableAt;
};

std::uint64_t bigEndian(std::string_view b, std::size_t at, unsigned size) {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < size; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

std::optional<Trailer> readTrailer(std::string_view b, const PropertyListLimits& limits) {
  if (b.size() < kBinaryMagic.size() + kTrailerSize) return std::nullopt;
  const std::size_t at = b.size() - kTrailerSize;
  Trailer t{static_cast<unsigned char>(b[at + 6]), static_cast<unsigned char>(b[at + 7]),
            bigEndian(b, at + 8, 8), bigEndian(b, at + 16, 8), bigEndian(b, at + 24, 8)};
  const auto sizeOk = [](unsigned s) { return s >= 1 && s <= 8; };
  if (!sizeOk(t.offsetSize) || !sizeOk(t.refSize)) return std::nullopt;
  if (t.objects == 0 || t.objects > limits.maxObjects || t.top >= t.objects) return std::nullopt;
  // The table lies between the header and the trailer.
  if (t.tableAt < kBinaryMagic.size() || t.tableAt > at ||
      t.objects > (at - t.tableAt) / t.offsetSize) {
    return std::nullopt;
  }
  return t;
}

// Where a container's references begin and how many there are; a count of zero for a
// leaf. nullopt when the object or its references lie outside the object area.
struct Children {
  std::size_t refsAt = 0;
  std::uint64_t count = 0;
};

std::optional<Children> childrenOf(std::string_view b, const Trailer& t, std::uint64_t object) {
  const std::uint64_t offset = bigEndian(b, t.tableAt + object * t.offsetSize, t.offsetSize);
  const std::uint64_t end = t.tableAt;  // objects sit between the header and the table
  if (offset < kBinaryMagic.size() || offset >= end) return std::nullopt;
  const auto marker = static_cast<unsigned char>(b[offset]);
  const unsigned kind = marker >> 4;
  // Arrays, sets and dictionaries hold references; every other kind is a leaf.
  if (kind != 0xA && kind != 0xC && kind != 0xD) return Children{};
  std::uint64_t count = marker & 0x0F;
  std::uint64_t refsAt = offset + 1;
  if (count == 0x0F) {
    // A longer count follows as an integer object of 1, 2, 4 or 8 bytes.
    if (refsAt >= end) return std::nullopt;
    const auto intMarker = static_cast<unsigned char>(b[refsAt]);
    const unsigned width = 1u << (intMarker & 0x0F);
    if ((intMarker >> 4) != 0x1 || width > 8 || refsAt + 1 + width > end) return std::nullopt;
    count = bigEndian(b, refsAt + 1, width);
    refsAt += 1 + width;
  }
  // A dictionary lists its key references, then its value references; both are followed.
  const std::uint64_t refs = kind == 0xD ? count * 2 : count;
  if (count > end || refs > (end - refsAt) / t.refSize) return std::nullopt;
  return Children{static_cast<std::size_t>(refsAt), refs};
}

// One object being walked: which reference comes next, and what its finished children
// added up to so far.
struct Frame {
  std::uint64_t object;
  Children children;
  std::uint64_t next = 0;
  std::uint32_t childDepth = 0;
  std::uint64_t expanded = 1;
};

enum class Visit : std::uint8_t { New, Open, Done };

}  // namespace

std::uint64_t xmlElementDepth(std::string_view t) {
  std::uint64_t depth = 0;
  std::uint64_t deepest = 0;
  std::size_t i = 0;
  while (i != npos && (i = t.find('<', i)) != npos) {
    const std::string_view rest = t.substr(i);
    if (rest.starts_with("<!--")) {
      i = past(t, i + 4, "-->", false);
    } else if (rest.starts_with("<![CDATA[")) {  // text of a value, for the reader
      i = past(t, i + 9, "]]>", false);
    } else if (rest.starts_with("<?")) {
      i = past(t, i + 1, "?>", true);  // from the '?': "<?>" is a whole instruction
    } else if (rest.starts_with("<!DOCTYPE")) {
      i = find(t, i + 9, "[>", true);
      if (i != npos) i = t[i] == '>' ? i + 1 : past(t, i + 1, "]>", true);
    } else if (rest.starts_with("<!")) {
      break;
    } else {
      const std::size_t end = tagEnd(t, i + 1);
      if (end == npos) break;
      if (rest[1] == '/') {
        if (depth > 0) --depth;
      } else {
        // A self-closing element is a level of its own that stays open for nothing.
        deepest = std::max(deepest, depth + 1);
        if (t[end - 1] != '/') ++depth;
      }
      i = end + 1;
    }
  }
  return deepest;
}

std::optional<std::uint32_t> binaryListDepth(std::string_view b, const PropertyListLimits& limits) {
  const auto trailer = readTrailer(b, limits);
  if (!trailer) return std::nullopt;
  std::vector<Visit> visit(trailer->objects, Visit::New);
  // What a finished object contributes to every container that refers to it.
  std::vector<std::uint32_t> depth(trailer->objects, 0);
  std::vector<std::uint64_t> expanded(trailer->objects, 0);

  std::vector<Frame> stack;
  std::uint32_t topDepth = 0;
  // Opens an object; a leaf finishes at once. False when it cannot be read.
  const auto open = [&](std::uint64_t object) {
    const auto children = childrenOf(b, *trailer, object);
    if (!children) return false;
    visit[object] = Visit::Open;
    stack.push_back(Frame{object, *children});
    return true;
  };
  if (!open(trailer->top)) return std::nullopt;
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next == f.children.count) {
      const std::uint32_t d = f.childDepth + 1;
      visit[f.object] = Visit::Done;
      depth[f.object] = d;
      expanded[f.object] = f.expanded;
      const std::uint64_t done = f.object;
      stack.pop_back();
      if (stack.empty()) {
        topDepth = d;
        break;
      }
      Frame& parent = stack.back();
      parent.childDepth = std::max(parent.childDepth, depth[done]);
      parent.expanded += expanded[done];
      if (parent.childDepth + stack.size() > limits.maxDepth) return std::nullopt;
      if (parent.expanded > limits.maxObjects) return std::nullopt;
      continue;
    }
    const std::uint64_t child =
        bigEndian(b, f.children.refsAt + f.next * trailer->refSize, trailer->refSize);
    ++f.next;
    if (child >= trailer->objects) return std::nullopt;
    switch (visit[child]) {
      case Visit::Open:  // a reference back into its own chain: a cycle
        return std::nullopt;
      case Visit::Done:
        f.childDepth = std::max(f.childDepth, depth[child]);
        f.expanded += expanded[child];
        if (f.childDepth + stack.size() > limits.maxDepth) return std::nullopt;
        if (f.expanded > limits.maxObjects) return std::nullopt;
        break;
      case Visit::New:
        if (stack.size() >= limits.maxDepth) return std::nullopt;
        if (!open(child)) return std::nullopt;
        break;
    }
  }
  return topDepth;
}

bool propertyListWithinLimits(std::string_view bytes, const PropertyListLimits& limits) {
  if (bytes.starts_with(kBinaryMagic)) return binaryListDepth(bytes, limits).has_value();
  return xmlElementDepth(bytes) <= limits.maxDepth;
}

}  // namespace platform
