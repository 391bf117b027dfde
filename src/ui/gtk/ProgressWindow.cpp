#include "ui/gtk/ProgressWindow.h"

#include <algorithm>
#include <cmath>

namespace ui::gtk {
namespace {

double fraction(double percent) {
  if (std::isnan(percent)) return 0;
  return std::clamp(percent / 100.0, 0.0, 1.0);
}

}  // namespace

ProgressWindow::ProgressWindow() {
  BuilderPtr builder = loadWindowDescription("ProgressWindow.ui");
  window_.reset(builderObject<GtkWidget>(builder.get(), "window"));
  pleaseWait_ = builderObject<GtkLabel>(builder.get(), "pleaseWaitLabel");
  bar_ = builderObject<GtkProgressBar>(builder.get(), "progressBar");
  cancel_ = builderObject<GtkButton>(builder.get(), "cancelButton");
  g_signal_connect(cancel_, "clicked", G_CALLBACK(onCancel), this);
  g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
}

ProgressWindow::~ProgressWindow() {
  close();
}

void ProgressWindow::bind(ProgressBinding binding) {
  const bool wasShowing = showing();
  follower_.reset();
  binding_ = std::move(binding);
  if (wasShowing) {
    follower_ = std::make_unique<ProgressFollower>(binding_, [this] { refresh(); });
    refresh();
  }
}

void ProgressWindow::show() {
  if (!showing()) follower_ = std::make_unique<ProgressFollower>(binding_, [this] { refresh(); });
  refresh();
  gtk_window_present(window());
}

void ProgressWindow::close() {
  follower_.reset();
  gtk_widget_hide(window_.get());
}

void ProgressWindow::setCancelEnabled(bool enabled) {
  gtk_widget_set_sensitive(GTK_WIDGET(cancel_), enabled);
}

void ProgressWindow::refresh() {
  if (binding_.title) gtk_window_set_title(window(), validUtf8(binding_.title->get()).c_str());
  if (binding_.pleaseWait) {
    gtk_label_set_text(pleaseWait_, validUtf8(binding_.pleaseWait->get()).c_str());
  }
  if (binding_.cancelText) {
    gtk_button_set_label(cancel_, validUtf8(binding_.cancelText->get()).c_str());
  }
  if (binding_.percent) gtk_progress_bar_set_fraction(bar_, fraction(binding_.percent->get()));
}

void ProgressWindow::onCancel(GtkButton*, gpointer self) {
  auto& window = *static_cast<ProgressWindow*>(self);
  if (window.binding_.onCancel) window.binding_.onCancel();
}

// Closing the window by its frame is the Cancel button, and only while Cancel is enabled;
// the window itself stays until the model closes it.
gboolean ProgressWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto& window = *static_cast<ProgressWindow*>(self);
  if (gtk_widget_get_sensitive(GTK_WIDGET(window.cancel_))) onCancel(window.cancel_, self);
  return TRUE;
}

}  // namespace ui::gtk
