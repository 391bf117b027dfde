#pragma once
// The error dialog's window: plain runs as text, link runs blue, underlined and opening
// their address when clicked.

#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/Presenter.h"
#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

class ErrorDialogWindow {
 public:
  ErrorDialogWindow(const std::string& title, const std::vector<TextRun>& runs,
                    const std::string& okText);

  /// Shows the dialog modally; returns the code OK() ends the run with. The window stays
  /// shown afterwards.
  int runModal();
  /// The OK button's action: ends the modal run with 1; does not close the window.
  void OK();
  /// The address of the link run at iter, if any.
  static std::optional<std::string> linkAt(const GtkTextIter& iter);

 private:
  void fill(const std::vector<TextRun>& runs);
  /// The address of the link run under x, y of the text view's text window.
  std::optional<std::string> linkAtPointer(double x, double y) const;
  static void onOK(GtkButton*, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static void onEventAfter(GtkWidget*, GdkEvent* event, gpointer self);
  static gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer self);

  WindowPtr window_;
  GtkTextView* textView_;
  ModalRun modal_;
};

}  // namespace ui::gtk
