#pragma once
// Follows every value of a progress binding while it lives: one callback for any change.

#include <functional>
#include <memory>
#include <utility>

#include "ui/Presenter.h"

namespace ui {

class ProgressFollower {
 public:
  /// Calls changed after each set() of any of the binding's values until destroyed. The
  /// binding's values must outlive this object.
  ProgressFollower(const ProgressBinding& binding, std::function<void()> changed)
      : changed_(std::make_shared<std::function<void()>>(std::move(changed))) {
    follow(binding.title, titleToken_);
    follow(binding.pleaseWait, pleaseWaitToken_);
    follow(binding.cancelText, cancelTextToken_);
    follow(binding.percent, percentToken_);
    follow(binding.transfer, transferToken_);
    follow(binding.pulsing, pulsingToken_);
    binding_ = binding;
  }
  ~ProgressFollower() {
    drop(binding_.title, titleToken_);
    drop(binding_.pleaseWait, pleaseWaitToken_);
    drop(binding_.cancelText, cancelTextToken_);
    drop(binding_.percent, percentToken_);
    drop(binding_.transfer, transferToken_);
    drop(binding_.pulsing, pulsingToken_);
  }
  ProgressFollower(const ProgressFollower&) = delete;
  ProgressFollower& operator=(const ProgressFollower&) = delete;

 private:
  template <typename Observable>
  void follow(Observable* observable, unsigned& token) {
    if (observable)
      token = observable->subscribe([changed = changed_](const auto&) { (*changed)(); });
  }
  template <typename Observable>
  static void drop(Observable* observable, unsigned token) {
    if (observable) observable->unsubscribe(token);
  }

  std::shared_ptr<std::function<void()>> changed_;
  ProgressBinding binding_;
  unsigned titleToken_ = 0, pleaseWaitToken_ = 0, cancelTextToken_ = 0, percentToken_ = 0,
           transferToken_ = 0, pulsingToken_ = 0;
};

}  // namespace ui
