#include "ui/gtk/ProgressWindow.h"

#include <algorithm>
#include <cmath>

#include "ui/DisplayText.h"
#include "ui/gtk/LabelBreaks.h"

namespace ui::gtk {
namespace {

// GNOME's own pulsing bars move about ten times a second.
constexpr guint kPulseIntervalMs = 100;

double fraction(double percent) {
  if (std::isnan(percent)) return 0;
  return std::clamp(percent / 100.0, 0.0, 1.0);
}

std::string formatSize(std::uint64_t bytes) {
  CharsPtr text(g_format_size(bytes));
  return text.get();
}

void setTextIfChanged(GtkLabel* label, const std::string& text) {
  if (text != gtk_label_get_text(label)) gtk_label_set_text(label, text.c_str());
}

}  // namespace

ProgressWindow::ProgressWindow() {
  BuilderPtr builder = loadWindowDescription("ProgressWindow.ui");
  window_.reset(builderObject<GtkWidget>(builder.get(), "window"));
  pleaseWait_ = builderObject<GtkLabel>(builder.get(), "pleaseWaitLabel");
  bar_ = builderObject<GtkProgressBar>(builder.get(), "progressBar");
  detail_ = builderObject<GtkLabel>(builder.get(), "detailLabel");
  cancel_ = builderObject<GtkButton>(builder.get(), "cancelButton");
  g_signal_connect(cancel_, "clicked", G_CALLBACK(onCancel), this);
  g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(window_.get(), "key-press-event", G_CALLBACK(onKeyPress), this);
  atk_object_set_role(gtk_widget_get_accessible(window_.get()), ATK_ROLE_DIALOG);
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
  const bool wasVisible = gtk_widget_get_visible(window_.get());
  gtk_window_present(window());
  // Showing a window focuses its first focusable widget, which here is Cancel.
  if (!wasVisible) gtk_window_set_focus(window(), nullptr);
}

void ProgressWindow::close() {
  follower_.reset();
  setPulsing(false);
  gtk_widget_hide(window_.get());
}

void ProgressWindow::setCancelEnabled(bool enabled) {
  gtk_widget_set_sensitive(GTK_WIDGET(cancel_), enabled);
}

// Called for every chunk a download receives: only what changed is handed to GTK, so the
// window system and screen readers hear of the texts once, not thousands of times.
void ProgressWindow::refresh() {
  if (binding_.title) {
    const std::string title = validUtf8(keepProductNameWhole(displayTitle(binding_.title->get())));
    const char* shown = gtk_window_get_title(window());
    if (!shown || title != shown) gtk_window_set_title(window(), title.c_str());
  }
  if (binding_.pleaseWait) {
    const std::string text = validUtf8(keepProductNameWhole(binding_.pleaseWait->get()));
    if (text != gtk_label_get_text(pleaseWait_)) {
      gtk_label_set_text(pleaseWait_, text.c_str());
      keepWordsWhole(pleaseWait_);
    }
    // A screen reader names the bar by what the window is waiting for.
    AtkObject* bar = gtk_widget_get_accessible(GTK_WIDGET(bar_));
    const char* name = atk_object_get_name(bar);
    if (!name || text != name) atk_object_set_name(bar, text.c_str());
  }
  if (binding_.transfer) {
    setTextIfChanged(detail_, transferDetail(binding_.transfer->get(), formatSize));
  }
  if (binding_.cancelText) {
    const std::string text = validUtf8(binding_.cancelText->get());
    const char* shown = gtk_button_get_label(cancel_);
    if (!shown || text != shown) gtk_button_set_label(cancel_, text.c_str());
  }
  const bool pulsing = binding_.pulsing && binding_.pulsing->get();
  setPulsing(pulsing);
  if (binding_.percent && !pulsing)
    gtk_progress_bar_set_fraction(bar_, fraction(binding_.percent->get()));
}

void ProgressWindow::setPulsing(bool pulsing) {
  if (pulsing == (pulseSource_ != 0)) return;
  gtk_progress_bar_set_show_text(bar_, !pulsing);
  if (pulsing) {
    gtk_progress_bar_pulse(bar_);
    pulseSource_ = g_timeout_add(kPulseIntervalMs, &ProgressWindow::onPulse, bar_);
  } else {
    g_source_remove(pulseSource_);
    pulseSource_ = 0;
  }
}

gboolean ProgressWindow::onPulse(gpointer bar) {
  gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
  return G_SOURCE_CONTINUE;
}

void ProgressWindow::onCancel(GtkButton*, gpointer self) {
  auto& window = *static_cast<ProgressWindow*>(self);
  if (window.binding_.onCancel) window.binding_.onCancel();
}

void ProgressWindow::cancelIfEnabled() {
  if (gtk_widget_get_sensitive(GTK_WIDGET(cancel_))) onCancel(cancel_, this);
}

// Closing the window by its frame, or Escape, is the Cancel button, and only while Cancel
// is enabled; the window itself stays until the model closes it.
gboolean ProgressWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<ProgressWindow*>(self)->cancelIfEnabled();
  return TRUE;
}

gboolean ProgressWindow::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  static_cast<ProgressWindow*>(self)->cancelIfEnabled();
  return TRUE;
}

}  // namespace ui::gtk
