#include "ui/gtk/GtkPresenter.h"

#include <type_traits>

#include "ui/GtkPresenterModule.h"
#include "ui/gtk/AlertWindow.h"

namespace ui::gtk {

void GtkPresenter::bindProgress(ProgressBinding binding) {
  progress_.bind(std::move(binding));
}

void GtkPresenter::showProgress() {
  progress_.show();
}

void GtkPresenter::closeProgress() {
  progress_.close();
}

void GtkPresenter::setCancelEnabled(bool enabled) {
  progress_.setCancelEnabled(enabled);
}

void GtkPresenter::runAlert(const std::string& title, const std::string& message,
                            const std::string& buttonLabel) {
  AlertWindow alert(title, message, buttonLabel,
                    progress_.showing() ? progress_.window() : nullptr);
  alert.run();
}

int GtkPresenter::runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                                 const std::string& okText) {
  dialogs_.push_back(std::make_unique<ErrorDialogWindow>(title, runs, okText));
  return dialogs_.back()->runModal();
}

}  // namespace ui::gtk

extern "C" ui::Presenter* naib_create_gtk_presenter() {
  static_assert(std::is_same_v<decltype(&naib_create_gtk_presenter), ui::GtkPresenterFactory>);
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return new ui::gtk::GtkPresenter();
}
