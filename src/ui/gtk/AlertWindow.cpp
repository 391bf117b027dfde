#include "ui/gtk/AlertWindow.h"

namespace ui::gtk {

AlertWindow::AlertWindow(const std::string& title, const std::string& message,
                         const std::string& button, GtkWindow* parent) {
  BuilderPtr builder = loadWindowDescription("Alert.ui");
  window_.reset(builderObject<GtkWidget>(builder.get(), "window"));
  gtk_window_set_title(GTK_WINDOW(window_.get()), validUtf8(title).c_str());
  gtk_label_set_text(builderObject<GtkLabel>(builder.get(), "messageLabel"),
                     validUtf8(message).c_str());
  GtkButton* ok = builderObject<GtkButton>(builder.get(), "okButton");
  gtk_button_set_label(ok, validUtf8(button).c_str());
  // The button, not the selectable message, takes the focus: a focused label would show
  // its whole text selected, and Enter should dismiss the alert.
  gtk_widget_grab_focus(GTK_WIDGET(ok));
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(window_.get()), parent);
  g_signal_connect(ok, "clicked", G_CALLBACK(onButton), this);
  g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
}

void AlertWindow::run() {
  modal_.run(GTK_WINDOW(window_.get()));
  gtk_widget_hide(window_.get());
}

void AlertWindow::onButton(GtkButton*, gpointer self) {
  static_cast<AlertWindow*>(self)->modal_.stop(1);
}

gboolean AlertWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<AlertWindow*>(self)->modal_.stop(0);
  return TRUE;
}

}  // namespace ui::gtk
