#include "ui/gtk/ErrorDialogWindow.h"

namespace ui::gtk {
namespace {

// Key under which a link tag keeps its address.
constexpr const char* kLinkAddressKey = "naib-link-address";

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

void openAddress(GtkWindow* window, const std::string& address) {
  GError* raw = nullptr;
  gtk_show_uri_on_window(window, address.c_str(), gtk_get_current_event_time(), &raw);
  // Without a handler for the address there is nothing better to do than stay put.
  std::unique_ptr<GError, ErrorFree> error(raw);
}

}  // namespace

ErrorDialogWindow::ErrorDialogWindow(const std::string& title, const std::vector<TextRun>& runs,
                                     const std::string& okText) {
  BuilderPtr builder = loadWindowDescription("ErrorDialog.ui");
  window_.reset(builderObject<GtkWidget>(builder.get(), "window"));
  textView_ = builderObject<GtkTextView>(builder.get(), "textView");
  GtkButton* ok = builderObject<GtkButton>(builder.get(), "okButton");
  gtk_button_set_label(ok, validUtf8(okText).c_str());
  gtk_window_set_title(GTK_WINDOW(window_.get()), validUtf8(title).c_str());
  fill(runs);
  g_signal_connect(ok, "clicked", G_CALLBACK(onOK), this);
  g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(textView_, "event-after", G_CALLBACK(onEventAfter), this);
  g_signal_connect(textView_, "motion-notify-event", G_CALLBACK(onMotion), this);
}

int ErrorDialogWindow::runModal() {
  return modal_.run(GTK_WINDOW(window_.get()));
}

void ErrorDialogWindow::OK() {
  modal_.stop(1);
}

void ErrorDialogWindow::fill(const std::vector<TextRun>& runs) {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(textView_);
  gtk_text_buffer_set_text(buffer, "", 0);
  GtkTextIter end;
  gtk_text_buffer_get_end_iter(buffer, &end);
  for (const TextRun& run : runs) {
    // Inserted as text, never parsed: a run cannot smuggle mark-up or styles in.
    const std::string text = validUtf8(run.text);
    if (!run.link) {
      gtk_text_buffer_insert(buffer, &end, text.data(), static_cast<gint>(text.size()));
      continue;
    }
    GtkTextTag* tag = gtk_text_buffer_create_tag(buffer, nullptr, "foreground", "blue", "underline",
                                                 PANGO_UNDERLINE_SINGLE, nullptr);
    g_object_set_data_full(G_OBJECT(tag), kLinkAddressKey, g_strdup(run.link->c_str()), g_free);
    gtk_text_buffer_insert_with_tags(buffer, &end, text.data(), static_cast<gint>(text.size()), tag,
                                     nullptr);
  }
}

std::optional<std::string> ErrorDialogWindow::linkAt(const GtkTextIter& iter) {
  GSList* tags = gtk_text_iter_get_tags(&iter);
  std::optional<std::string> address;
  for (GSList* t = tags; t && !address; t = t->next) {
    if (auto* value =
            static_cast<const char*>(g_object_get_data(G_OBJECT(t->data), kLinkAddressKey))) {
      address = value;
    }
  }
  g_slist_free(tags);
  return address;
}

std::optional<std::string> ErrorDialogWindow::linkAtPointer(double x, double y) const {
  gint bx = 0, by = 0;
  gtk_text_view_window_to_buffer_coords(textView_, GTK_TEXT_WINDOW_TEXT, static_cast<gint>(x),
                                        static_cast<gint>(y), &bx, &by);
  GtkTextIter iter;
  if (!gtk_text_view_get_iter_at_location(textView_, &iter, bx, by)) return std::nullopt;
  return linkAt(iter);
}

void ErrorDialogWindow::onOK(GtkButton*, gpointer self) {
  static_cast<ErrorDialogWindow*>(self)->OK();
}

// Closing the frame is the only other way out; it answers as OK does and, like OK,
// leaves the window in place.
gboolean ErrorDialogWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<ErrorDialogWindow*>(self)->OK();
  return TRUE;
}

void ErrorDialogWindow::onEventAfter(GtkWidget*, GdkEvent* event, gpointer self) {
  if (event->type != GDK_BUTTON_RELEASE || event->button.button != GDK_BUTTON_PRIMARY) return;
  auto& dialog = *static_cast<ErrorDialogWindow*>(self);
  if (event->button.window != gtk_text_view_get_window(dialog.textView_, GTK_TEXT_WINDOW_TEXT)) {
    return;  // a click on the border, not on the text
  }
  // A drag that selected text is no click on the link.
  GtkTextIter start, end;
  if (gtk_text_buffer_get_selection_bounds(gtk_text_view_get_buffer(dialog.textView_), &start,
                                           &end)) {
    return;
  }
  if (auto address = dialog.linkAtPointer(event->button.x, event->button.y)) {
    openAddress(GTK_WINDOW(dialog.window_.get()), *address);
  }
}

gboolean ErrorDialogWindow::onMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
  auto& dialog = *static_cast<ErrorDialogWindow*>(self);
  GdkWindow* textWindow = gtk_text_view_get_window(dialog.textView_, GTK_TEXT_WINDOW_TEXT);
  if (!textWindow || event->window != textWindow) return FALSE;
  const char* cursorName = dialog.linkAtPointer(event->x, event->y) ? "pointer" : "text";
  std::unique_ptr<GdkCursor, GObjectUnref> cursor(
      gdk_cursor_new_from_name(gdk_window_get_display(textWindow), cursorName));
  gdk_window_set_cursor(textWindow, cursor.get());
  return FALSE;
}

}  // namespace ui::gtk
