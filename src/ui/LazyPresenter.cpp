#include "ui/LazyPresenter.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "platform/files/FileSystem.h"
#include "platform/runloop/Signals.h"
#include "ui/GtkPresenterModule.h"
#include "ui/TerminalPresenter.h"

namespace ui {
namespace {

bool displayIsSet() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

struct ModuleCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

// The presenter made by the module, with the module kept loaded while the presenter lives.
// While its progress window shows, Ctrl-C in the terminal that started the program is the
// window's Cancel button: the module has no part in the process's signal handling.
class ModulePresenter : public Presenter {
 public:
  ModulePresenter(ModuleHandle module, std::unique_ptr<Presenter> inner)
      : module_(std::move(module)), inner_(std::move(inner)) {}

  void bindProgress(ProgressBinding b) override {
    onCancel_ = b.onCancel;
    inner_->bindProgress(std::move(b));
  }
  void showProgress() override {
    inner_->showProgress();
    if (!interrupt_) {
      interrupt_ = std::make_unique<platform::InterruptWatch>([this] {
        if (cancelEnabled_ && onCancel_) onCancel_();
      });
    }
  }
  void closeProgress() override {
    interrupt_.reset();
    inner_->closeProgress();
  }
  void setCancelEnabled(bool enabled) override {
    cancelEnabled_ = enabled;
    inner_->setCancelEnabled(enabled);
  }
  void runAlert(const std::string& title, const std::string& message,
                const std::string& button) override {
    inner_->runAlert(title, message, button);
  }
  int runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                     const std::string& okText) override {
    return inner_->runErrorDialog(title, runs, okText);
  }

 private:
  ModuleHandle module_;  // destroyed after inner_, whose code it holds
  std::unique_ptr<Presenter> inner_;
  std::function<void()> onCancel_;
  bool cancelEnabled_ = true;
  std::unique_ptr<platform::InterruptWatch> interrupt_;
};

std::unique_ptr<Presenter> loadGtkPresenter() {
  const std::string path =
      platform::appendPathComponent(platform::executableDirectory(), kGtkPresenterModuleName);
  // GTK cannot be unloaded safely once initialised: the module stays mapped to the end.
  ModuleHandle module(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!module) return nullptr;
  auto factory =
      reinterpret_cast<GtkPresenterFactory>(dlsym(module.get(), kGtkPresenterFactoryName));
  if (!factory) return nullptr;
  std::unique_ptr<Presenter> presenter(factory());
  if (!presenter) return nullptr;
  return std::make_unique<ModulePresenter>(std::move(module), std::move(presenter));
}

}  // namespace

std::unique_ptr<Presenter> chooseSystemPresenter() {
  if (displayIsSet()) {
    if (auto gtk = loadGtkPresenter()) return gtk;
  }
  return std::make_unique<TerminalPresenter>();
}

std::unique_ptr<Presenter> makeLazyPresenter() {
  return std::make_unique<LazyPresenter>(chooseSystemPresenter);
}

LazyPresenter::LazyPresenter(Chooser choose) : choose_(std::move(choose)) {}

Presenter& LazyPresenter::chosen() {
  if (!chosen_) {
    chosen_ = choose_();
    if (!chosen_) chosen_ = std::make_unique<TerminalPresenter>();
    if (binding_) chosen_->bindProgress(std::move(*binding_));
    if (cancelEnabled_) chosen_->setCancelEnabled(*cancelEnabled_);
    binding_.reset();
  }
  return *chosen_;
}

void LazyPresenter::bindProgress(ProgressBinding binding) {
  if (chosen_) {
    chosen_->bindProgress(std::move(binding));
  } else {
    binding_ = std::move(binding);
  }
}

void LazyPresenter::showProgress() {
  chosen().showProgress();
}

// Nothing shows before a presenter is chosen, so there is nothing to close.
void LazyPresenter::closeProgress() {
  if (chosen_) chosen_->closeProgress();
}

void LazyPresenter::setCancelEnabled(bool enabled) {
  if (chosen_) {
    chosen_->setCancelEnabled(enabled);
  } else {
    cancelEnabled_ = enabled;
  }
}

void LazyPresenter::runAlert(const std::string& title, const std::string& message,
                             const std::string& buttonLabel) {
  chosen().runAlert(title, message, buttonLabel);
}

int LazyPresenter::runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                                  const std::string& okText) {
  return chosen().runErrorDialog(title, runs, okText);
}

}  // namespace ui
