#pragma once
// The window of the alert and of the error dialog, in the look of a desktop message
// dialog: an icon, the headline in bold, the message and one button bottom-right. The
// texts can be selected and copied. Link runs are links of the labels: underlined in the
// theme's link colour, reached with Tab, opened with Enter or a click, and announced as
// links to screen readers; a link that cannot be opened shows its address to copy.

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/Presenter.h"
#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

class MessageWindow {
 public:
  /// runs are shown as given: plain runs as text, never as mark-up. role is how screen
  /// readers announce the window (ATK_ROLE_ALERT, ATK_ROLE_DIALOG). parent may be null;
  /// the window is centred on it otherwise.
  MessageWindow(const std::string& title, const std::vector<TextRun>& runs,
                const std::string& buttonText, AtkRole role, GtkWindow* parent);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  /// Shows the window modally; returns 1 once the button, Escape or the window's close
  /// box has answered. The window stays shown until this object is destroyed.
  int runModal();
  /// The button's action: ends the modal run with 1; does not close the window.
  void OK();

  GtkWindow* window() const { return GTK_WINDOW(window_.get()); }

 private:
  static void onButton(GtkButton*, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onActivateLink(GtkLabel*, const gchar* uri, gpointer self);
  static void onLaunched(GObject*, GAsyncResult* result, gpointer pending);
  static gboolean onLabelFocus(GtkWidget* label, GtkDirectionType direction, gpointer);
  /// Shows uri under the message, selected and focused, for the person to copy.
  void showAddress(const std::string& uri);

  WindowPtr window_;
  GtkLabel* address_;
  /// This window while it lives; a launch that ends after it has gone finds null.
  std::shared_ptr<MessageWindow*> alive_;
  ModalRun modal_;
};

}  // namespace ui::gtk
