#pragma once
// Bounds on the shape of a property list, checked over its bytes before the library parses
// it: the library recurses once per nesting level (and expands every reference of a binary
// list into a node of its own), so a small hostile file could otherwise exhaust the stack or
// the memory of any program that only wanted one version string.

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

struct PropertyListLimits {
  /// Deepest nesting allowed: XML elements (the plist element included), or binary
  /// objects along a chain of references (the top object and the leaves included).
  std::uint32_t maxDepth = 512;
  /// Most objects a binary list may expand into once every reference is followed, and
  /// most objects its table may list. Far above any information or version list.
  std::uint64_t maxObjects = 1u << 18;
};

/// True when bytes, taken as the library takes them (binary when they begin with
/// "bplist00", XML otherwise), stay within limits. False also for a binary list whose
/// trailer, offset table or references are out of range, or whose references form a cycle:
/// the library cannot read such a list either.
bool propertyListWithinLimits(std::string_view bytes, const PropertyListLimits& limits = {});

/// The deepest element nesting of XML text, not counting what comments, CDATA sections,
/// processing instructions and declarations hold; a self-closing element counts at its
/// level and opens nothing. The count stops where the library's reader gives up or a
/// construct is unterminated, since the reader builds nothing after that.
std::uint64_t xmlElementDepth(std::string_view text);

/// The nesting depth of a binary list (a lone leaf is 1); nullopt when it is malformed,
/// cyclic or beyond limits. Walks iteratively and visits each object once.
std::optional<std::uint32_t> binaryListDepth(std::string_view bytes,
                                             const PropertyListLimits& limits);

}  // namespace platform
