#pragma once
// What the windows of both presenters display, worked out in one place: the title as
// shown, the catalogue's own web addresses as links, a message's headline and the amounts
// of a transfer. Plain C++, so the GTK module links it as the terminal presenter does.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/Presenter.h"

namespace ui {

/// title as a window or the terminal shows it: every run of spaces becomes one space, and
/// one space follows a catalogue title prefix that ends in "..." or "…". The stored title
/// is left as it is.
std::string displayTitle(std::string_view title);

/// message as runs in which each web address of the catalogue that stands on its own is a
/// link run to itself; nothing else is interpreted. An address continued by another
/// address character on either side is no match, so "…/download/setup" stays plain while
/// the comma of "…/download/," stays outside the link.
std::vector<TextRun> linkCatalogueAddresses(const std::string& message);

/// text with the runtime's two-word name joined by a no-break space, so that neither a
/// window nor the terminal breaks a line inside it; the stored texts keep their space.
std::string keepProductNameWhole(std::string_view text);
/// The same for the text of each run; link addresses stay as they are.
std::vector<TextRun> keepProductNameWhole(std::vector<TextRun> runs);

/// The byte ranges [first, second) of text inside which a window must not break a line,
/// where its own line breaker would: each word (a run between blanks and line feeds) that
/// holds Korean letters, since Korean breaks between words and never inside one, and the
/// runtime's name joined into a compound ("Halvex-Orvel-Version").
std::vector<std::pair<std::size_t, std::size_t>> unbreakableSpans(std::string_view text);

/// A message split the way a message window shows it.
struct MessageParts {
  std::vector<TextRun> headline;  ///< the first line; empty when the message has none
  std::vector<TextRun> body;      ///< the rest, or the whole message without a headline
};

/// The first line is the headline when a line feed in plain text ends it and text, not
/// only blanks, stands on both sides; the line feed itself is dropped.
MessageParts splitHeadline(const std::vector<TextRun>& runs);

/// "84.1 MB / 312.4 MB": the bytes received and the total when announced, each written by
/// formatSize; empty before the first byte.
std::string transferAmountsText(const TransferAmounts& amounts,
                                const std::function<std::string(std::uint64_t)>& formatSize);

/// "9.8 MB/s" once the rate is measured and a byte has arrived; empty otherwise.
std::string transferRateText(const TransferAmounts& amounts,
                             const std::function<std::string(std::uint64_t)>& formatSize);

/// "84.1 MB / 312.4 MB · 9.8 MB/s": the amounts and the rate, as far as they are known.
std::string transferDetail(const TransferAmounts& amounts,
                           const std::function<std::string(std::uint64_t)>& formatSize);

}  // namespace ui
