#pragma once
// A presenter that decides how to show windows only when the first one must be shown.

#include <functional>
#include <memory>
#include <optional>

#include "ui/Presenter.h"

namespace ui {

class LazyPresenter : public Presenter {
 public:
  using Chooser = std::function<std::unique_ptr<Presenter>()>;

  /// choose is called once, by the first showProgress, runAlert or runErrorDialog; the
  /// binding and Cancel state given before then are handed to its presenter first.
  explicit LazyPresenter(Chooser choose);

  void bindProgress(ProgressBinding binding) override;
  void showProgress() override;
  void closeProgress() override;
  void setCancelEnabled(bool enabled) override;
  void runAlert(const std::string& title, const std::string& message,
                const std::string& buttonLabel) override;
  int runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                     const std::string& okText) override;

 private:
  Presenter& chosen();

  Chooser choose_;
  std::unique_ptr<Presenter> chosen_;
  std::optional<ProgressBinding> binding_;
  std::optional<bool> cancelEnabled_;
};

/// GTK when DISPLAY or WAYLAND_DISPLAY is set and the module beside the executable loads
/// and initialises GTK; the terminal presenter otherwise.
std::unique_ptr<Presenter> chooseSystemPresenter();

}  // namespace ui
