// A move-only owner of one handle of any kind. A copyable wrapper would free twice, so it
// cannot be copied; Traits names the handle type, its empty value and the one call that
// closes it. Portable: the traits bring the platform headers, this file brings none.
#pragma once

namespace kivo {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : handle_(h) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }

  Handle get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return valid(); }

  Handle release() {
    Handle h = handle_;
    handle_ = Traits::None();
    return h;
  }
  void reset(Handle h = Traits::None()) {
    if (Traits::IsValid(handle_))
      Traits::Close(handle_);
    handle_ = h;
  }

 private:
  Handle handle_ = Traits::None();
};

}  // namespace kivo
