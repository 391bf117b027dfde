#include "ui/gtk/LabelBreaks.h"

#include "ui/DisplayText.h"
#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {
namespace {

constexpr const char* kDescribedAttributes = "naib-described-attributes";
constexpr const char* kSpansApplied = "naib-unbreakable-spans";

// The attributes of label's window description, kept with the label the first time.
PangoAttrList* describedAttributes(GtkLabel* label) {
  auto* kept =
      static_cast<PangoAttrList*>(g_object_get_data(G_OBJECT(label), kDescribedAttributes));
  if (kept) return kept;
  PangoAttrList* own = gtk_label_get_attributes(label);
  kept = own ? pango_attr_list_ref(own) : pango_attr_list_new();
  g_object_set_data_full(G_OBJECT(label), kDescribedAttributes, kept,
                         reinterpret_cast<GDestroyNotify>(pango_attr_list_unref));
  return kept;
}

}  // namespace

void keepWordsWhole(GtkLabel* label) {
  PangoAttrList* described = describedAttributes(label);
  const auto spans = unbreakableSpans(gtk_label_get_text(label));
  // New attributes lay the label out again: only a label that needs them, or had them,
  // gets them.
  const bool had = g_object_get_data(G_OBJECT(label), kSpansApplied) != nullptr;
  if (spans.empty() && !had) return;
  AttrListPtr attributes(pango_attr_list_copy(described));
  // Pango breaks Korean between any two syllables, as it does Chinese, where a Korean
  // reader expects a line to end only at a space; and it breaks after any hyphen.
  for (const auto& [begin, end] : spans) {
    PangoAttribute* keep = pango_attr_allow_breaks_new(FALSE);
    keep->start_index = static_cast<guint>(begin);
    keep->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attributes.get(), keep);
  }
  gtk_label_set_attributes(label, attributes.get());
  g_object_set_data(G_OBJECT(label), kSpansApplied, spans.empty() ? nullptr : label);
}

}  // namespace ui::gtk
