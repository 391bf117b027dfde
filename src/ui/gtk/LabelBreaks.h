#pragma once
// Line breaks of a wrapping label where the toolkit's own line breaker would put them
// wrongly.

#include <gtk/gtk.h>

namespace ui::gtk {

/// Keeps label's Korean words and the runtime's name in a compound whole when it wraps
/// (see unbreakableSpans). Call after every change of its text; the attributes the label
/// had on the first call (its window description's) stay.
void keepWordsWhole(GtkLabel* label);

}  // namespace ui::gtk
