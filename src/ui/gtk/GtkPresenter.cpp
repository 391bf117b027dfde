#include "ui/gtk/GtkPresenter.h"

#include <type_traits>

#include "ui/DisplayText.h"
#include "ui/GtkPresenterModule.h"

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
  MessageWindow alert(title, linkCatalogueAddresses(message), buttonLabel, ATK_ROLE_ALERT,
                      progress_.showing() ? progress_.window() : nullptr);
  alert.runModal();
}

int GtkPresenter::runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                                 const std::string& okText) {
  dialogs_.push_back(
      std::make_unique<MessageWindow>(title, runs, okText, ATK_ROLE_DIALOG, nullptr));
  return dialogs_.back()->runModal();
}

}  // namespace ui::gtk

extern "C" ui::Presenter* naib_create_gtk_presenter() {
  static_assert(std::is_same_v<decltype(&naib_create_gtk_presenter), ui::GtkPresenterFactory>);
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return new ui::gtk::GtkPresenter();
}
