#pragma once
// The one-button alert: the message shown literally, never as mark-up.

#include <gtk/gtk.h>

#include <string>

#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

class AlertWindow {
 public:
  /// parent may be null; the alert is centred on it otherwise.
  AlertWindow(const std::string& title, const std::string& message, const std::string& button,
              GtkWindow* parent);

  /// Shows the alert modally; returns when its button is pressed or the window is closed.
  void run();

 private:
  static void onButton(GtkButton*, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);

  WindowPtr window_;
  ModalRun modal_;
};

}  // namespace ui::gtk
