#pragma once
// The presenter with GTK windows; lives in the module the lazy presenter loads.

#include <memory>
#include <vector>

#include "ui/Presenter.h"
#include "ui/gtk/MessageWindow.h"
#include "ui/gtk/ProgressWindow.h"

namespace ui::gtk {

/// Create only after GTK has initialised.
class GtkPresenter : public Presenter {
 public:
  void bindProgress(ProgressBinding binding) override;
  void showProgress() override;
  void closeProgress() override;
  void setCancelEnabled(bool enabled) override;
  /// The catalogue's own web addresses in message become links; nothing else does.
  void runAlert(const std::string& title, const std::string& message,
                const std::string& buttonLabel) override;
  int runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                     const std::string& okText) override;

 private:
  // Error dialogs stay on screen until the process ends.
  std::vector<std::unique_ptr<MessageWindow>> dialogs_;
  ProgressWindow progress_;
};

}  // namespace ui::gtk

/// The module's factory (see ui/GtkPresenterModule.h): null when GTK cannot initialise.
extern "C" ui::Presenter* naib_create_gtk_presenter();
