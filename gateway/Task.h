#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

// A protocol step written as a coroutine: it runs until it awaits an event (bytes received, a
// timer due) and goes on when that event arrives, so many of them share one thread without any
// nested event loop. A task starts when it is awaited, or when its owner calls start().
template <class T = void> class Task;

namespace TaskDetail {

struct PromiseBase {
  std::coroutine_handle<> continuation = std::noop_coroutine();
  std::exception_ptr error;

  std::suspend_always initial_suspend() noexcept { return {}; }
  struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    template <class P> std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
      return h.promise().continuation;
    }
    void await_resume() noexcept {}
  };
  FinalAwaiter final_suspend() noexcept { return {}; }
  void unhandled_exception() { error = std::current_exception(); }
};

template <class T> struct Promise : PromiseBase {
  std::optional<T> value;
  Task<T> get_return_object();
  void return_value(T v) { value = std::move(v); }
  T result() {
    if (error)
      std::rethrow_exception(error);
    return std::move(*value);
  }
};

template <> struct Promise<void> : PromiseBase {
  Task<void> get_return_object();
  void return_void() {}
  void result() {
    if (error)
      std::rethrow_exception(error);
  }
};

} // namespace TaskDetail

template <class T> class [[nodiscard]] Task {
public:
  using promise_type = TaskDetail::Promise<T>;
  using Handle = std::coroutine_handle<promise_type>;

  Task() = default;
  explicit Task(Handle h) : m_h(h) {}
  Task(Task &&other) noexcept : m_h(std::exchange(other.m_h, {})) {}
  Task &operator=(Task &&other) noexcept {
    if (this != &other) {
      reset();
      m_h = std::exchange(other.m_h, {});
    }
    return *this;
  }
  Task(const Task &) = delete;
  Task &operator=(const Task &) = delete;
  ~Task() { reset(); }

  // Runs the task up to its first wait; the owner keeps the task until it is finished.
  void start() {
    if (m_h && !m_h.done())
      m_h.resume();
  }
  bool finished() const { return !m_h || m_h.done(); }
  // The finished task's value; raises what the task raised.
  T result() { return m_h.promise().result(); }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
    m_h.promise().continuation = awaiting;
    return m_h;
  }
  T await_resume() { return m_h.promise().result(); }

private:
  void reset() {
    if (m_h)
      m_h.destroy();
    m_h = {};
  }
  Handle m_h;
};

namespace TaskDetail {
template <class T> Task<T> Promise<T>::get_return_object() {
  return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}
inline Task<void> Promise<void>::get_return_object() {
  return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}
} // namespace TaskDetail
