#include "ui/gtk/MessageWindow.h"

#include "ui/DisplayText.h"
#include "ui/gtk/LabelBreaks.h"

namespace ui::gtk {
namespace {

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// A launch of a link's address under way: the window to tell if it fails, null once gone.
struct PendingLaunch {
  std::shared_ptr<MessageWindow*> window;
  std::string uri;
};

// Where a label's first and last links start, in characters, plus one; none is 0.
constexpr const char* kFirstLink = "naib-first-link";
constexpr const char* kLastLink = "naib-last-link";

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

void rememberLinks(GtkLabel* label, const std::vector<TextRun>& runs) {
  glong offset = 0;
  for (const TextRun& run : runs) {
    const std::string text = validUtf8(run.text);
    if (run.link && !text.empty()) {
      if (!g_object_get_data(G_OBJECT(label), kFirstLink))
        g_object_set_data(G_OBJECT(label), kFirstLink, GINT_TO_POINTER(offset + 1));
      g_object_set_data(G_OBJECT(label), kLastLink, GINT_TO_POINTER(offset + 1));
    }
    offset += g_utf8_strlen(text.c_str(), -1);
  }
}

void showRuns(GtkLabel* label, const std::vector<TextRun>& runs) {
  gtk_label_set_markup(label, markupOf(runs).c_str());
  rememberLinks(label, runs);
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
    g_signal_connect(label, "focus", G_CALLBACK(onLabelFocus), nullptr);
  }
  address_ = builderObject<GtkLabel>(builder.get(), "addressLabel");
  alive_ = std::make_shared<MessageWindow*>(this);

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

MessageWindow::~MessageWindow() {
  *alive_ = nullptr;
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

// The address is handed to the desktop's program for it; only the end of the launch tells
// whether there was one, so the launch is asynchronous.
gboolean MessageWindow::onActivateLink(GtkLabel*, const gchar* uri, gpointer self) {
  auto* shown = static_cast<MessageWindow*>(self);
  std::unique_ptr<GdkAppLaunchContext, GObjectUnref> context(
      gdk_display_get_app_launch_context(gtk_widget_get_display(shown->window_.get())));
  gdk_app_launch_context_set_timestamp(context.get(), gtk_get_current_event_time());
  auto* pending = new PendingLaunch{shown->alive_, uri};
  g_app_info_launch_default_for_uri_async(uri, G_APP_LAUNCH_CONTEXT(context.get()), nullptr,
                                          onLaunched, pending);
  return TRUE;
}

void MessageWindow::onLaunched(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PendingLaunch> pending(static_cast<PendingLaunch*>(data));
  GError* raw = nullptr;
  const bool opened = g_app_info_launch_default_for_uri_finish(result, &raw);
  std::unique_ptr<GError, ErrorFree> error(raw);
  // Without a web browser the page can still be reached: by its address, copied.
  if (!opened && *pending->window) (*pending->window)->showAddress(pending->uri);
}

void MessageWindow::showAddress(const std::string& uri) {
  gtk_label_set_text(address_, validUtf8(uri).c_str());
  gtk_widget_show(GTK_WIDGET(address_));
  // Focused, a selectable label selects its text: Ctrl+C copies it, and a screen reader
  // reads it out.
  gtk_widget_grab_focus(GTK_WIDGET(address_));
}

// Tab into a selectable label selects all of its text, and Enter then opens none of its
// links. Entered from the keyboard, a label with links puts its cursor on its first link
// instead (its last, going backwards): one Tab reaches a link and Enter opens it.
gboolean MessageWindow::onLabelFocus(GtkWidget* label, GtkDirectionType direction, gpointer) {
  if (gtk_widget_is_focus(label)) return FALSE;  // from link to link: the label's own way
  const bool backward =
      direction == GTK_DIR_TAB_BACKWARD || direction == GTK_DIR_UP || direction == GTK_DIR_LEFT;
  const int link =
      GPOINTER_TO_INT(g_object_get_data(G_OBJECT(label), backward ? kLastLink : kFirstLink)) - 1;
  if (link < 0) return FALSE;
  gtk_widget_grab_focus(label);
  gtk_label_select_region(GTK_LABEL(label), link, link);
  return TRUE;
}

}  // namespace ui::gtk
