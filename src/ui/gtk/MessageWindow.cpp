#include "ui/gtk/MessageWindow.h"

#include "ui/DisplayText.h"
#include "ui/gtk/LabelBreaks.h"

namespace ui::gtk {
namespace {

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// Label mark-up of runs: every text escaped, so only the link runs become mark-up.
std::string markupOf(const std::vector<TextRun>& runs) {
  std::string markup;
  for (const TextRun& run : runs) {
    const std::string text = validUtf8(run.text);
    if (run.link && text.empty()) continue;  // nothing a person could click
    CharsPtr piece(run.link ? g_markup_printf_escaped("<a href=\"%s\">%s</a>",
                                                      validUtf8(*run.link).c_str(), text.c_str())
                            : g_markup_escape_text(text.c_str(), -1));
    markup += piece.get();
  }
  return markup;
}

// GTK leaves a label's link objects unnamed and gives their place in the text in bytes,
// which is wrong past the first non-ASCII character; named by their words, the links are
// announced right in every language.
void nameLinks(GtkLabel* label, const std::vector<TextRun>& runs) {
  AtkObject* accessible = gtk_widget_get_accessible(GTK_WIDGET(label));
  gint index = 0;
  for (const TextRun& run : runs) {
    if (!run.link || run.text.empty()) continue;
    std::unique_ptr<AtkObject, GObjectUnref> link(
        atk_object_ref_accessible_child(accessible, index++));
    if (link) atk_object_set_name(link.get(), validUtf8(run.text).c_str());
  }
}

void showRuns(GtkLabel* label, const std::vector<TextRun>& runs) {
  gtk_label_set_markup(label, markupOf(runs).c_str());
  keepWordsWhole(label);
  gtk_widget_set_visible(GTK_WIDGET(label), !runs.empty());
  nameLinks(label, runs);
}

}  // namespace

MessageWindow::MessageWindow(const std::string& title, const std::vector<TextRun>& runs,
                             const std::string& buttonText, AtkRole role, GtkWindow* parent) {
  BuilderPtr builder = loadWindowDescription("MessageWindow.ui");
  window_.reset(builderObject<GtkWidget>(builder.get(), "window"));
  gtk_window_set_title(window(), validUtf8(keepProductNameWhole(displayTitle(title))).c_str());
  atk_object_set_role(gtk_widget_get_accessible(window_.get()), role);

  const MessageParts parts = splitHeadline(keepProductNameWhole(runs));
  const std::pair<const char*, const std::vector<TextRun>*> labels[] = {
      {"headlineLabel", &parts.headline}, {"messageLabel", &parts.body}};
  for (const auto& [id, shown] : labels) {
    GtkLabel* label = builderObject<GtkLabel>(builder.get(), id);
    showRuns(label, *shown);
    g_signal_connect(label, "activate-link", G_CALLBACK(onActivateLink), this);
  }

  GtkButton* ok = builderObject<GtkButton>(builder.get(), "okButton");
  gtk_button_set_label(ok, validUtf8(buttonText).c_str());
  // The button takes the focus so that Enter answers; Tab goes on to the links.
  gtk_widget_grab_focus(GTK_WIDGET(ok));
  if (parent) {
    gtk_window_set_transient_for(window(), parent);
    gtk_window_set_position(window(), GTK_WIN_POS_CENTER_ON_PARENT);
  }
  g_signal_connect(ok, "clicked", G_CALLBACK(onButton), this);
  g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(window_.get(), "key-press-event", G_CALLBACK(onKeyPress), this);
}

int MessageWindow::runModal() {
  return modal_.run(window());
}

void MessageWindow::OK() {
  modal_.stop(1);
}

void MessageWindow::onButton(GtkButton*, gpointer self) {
  static_cast<MessageWindow*>(self)->OK();
}

// Closing the frame and Escape answer as the button does and, like it, leave the window
// in place for its owner to close.
gboolean MessageWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<MessageWindow*>(self)->OK();
  return TRUE;
}

gboolean MessageWindow::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  static_cast<MessageWindow*>(self)->OK();
  return TRUE;
}

gboolean MessageWindow::onActivateLink(GtkLabel*, const gchar* uri, gpointer self) {
  GError* raw = nullptr;
  gtk_show_uri_on_window(static_cast<MessageWindow*>(self)->window(), uri,
                         gtk_get_current_event_time(), &raw);
  // Without a handler for the address there is nothing better to do than stay put.
  std::unique_ptr<GError, ErrorFree> error(raw);
  return TRUE;
}

}  // namespace ui::gtk
