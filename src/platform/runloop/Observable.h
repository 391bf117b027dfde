#pragma once
// A value with subscribers: the stand-in for key-value observing. Windows follow the
// property; the model never calls a widget.

#include <functional>
#include <map>
#include <utility>

namespace platform {

template <typename T>
class Observable {
 public:
  using Subscriber = std::function<void(const T&)>;
  using Token = unsigned;

  explicit Observable(T initial = T{}) : value_(std::move(initial)) {}
  Observable(const Observable&) = delete;
  Observable& operator=(const Observable&) = delete;

  const T& get() const { return value_; }

  /// Stores the value and tells every subscriber, even when it is unchanged (a binding
  /// must see every set, as key-value coding reports every setValue:forKey:).
  void set(T value) {
    value_ = std::move(value);
    auto subscribers = subscribers_;  // a subscriber may unsubscribe while being told
    for (auto& [token, fn] : subscribers) fn(value_);
  }

  /// Calls fn on every later set(); returns the token for unsubscribe().
  Token subscribe(Subscriber fn) {
    subscribers_.emplace(++lastToken_, std::move(fn));
    return lastToken_;
  }
  void unsubscribe(Token token) { subscribers_.erase(token); }

 private:
  T value_;
  std::map<Token, Subscriber> subscribers_;
  Token lastToken_ = 0;
};

}  // namespace platform
