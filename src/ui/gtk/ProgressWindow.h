#pragma once
// The download progress window, following the model's values through its binding: the
// please-wait text, the bar with its percentage (or pulsing, while the wait has no known
// length), the amounts under it and Cancel, which only a click or Escape presses.

#include <gtk/gtk.h>

#include <memory>

#include "ui/Presenter.h"
#include "ui/ProgressFollower.h"
#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

class ProgressWindow {
 public:
  ProgressWindow();
  ~ProgressWindow();

  void bind(ProgressBinding binding);
  /// Shows the window in front with the binding's current values, with no widget
  /// focused so that a stray Enter or Space cancels nothing; again is harmless.
  void show();
  void close();
  void setCancelEnabled(bool enabled);
  bool showing() const { return follower_ != nullptr; }
  GtkWindow* window() const { return GTK_WINDOW(window_.get()); }

 private:
  static void onCancel(GtkButton*, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onPulse(gpointer bar);
  /// Cancel's action, when Cancel is enabled.
  void cancelIfEnabled();
  void refresh();
  /// Starts or stops the bar's pulse; with it the percentage is not shown.
  void setPulsing(bool pulsing);

  WindowPtr window_;
  GtkLabel* pleaseWait_;
  GtkProgressBar* bar_;
  GtkLabel* detail_;
  GtkButton* cancel_;
  ProgressBinding binding_;
  std::unique_ptr<ProgressFollower> follower_;
  guint pulseSource_ = 0;
};

}  // namespace ui::gtk
