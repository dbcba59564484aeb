// A system handle (a file descriptor, a HANDLE, a SOCKET) with one owner,
// which closes it when it goes. Only moved, never copied, so that it is
// closed once. `Close` closes a valid handle and tells whether the system
// completed it.
#ifndef SYSTEM_OWNED_HANDLE_H
#define SYSTEM_OWNED_HANDLE_H

#include <cstdint>
#include <utility>

template <bool (*Close)(std::intptr_t)>
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(std::intptr_t native) : native_(native) {}
  OwnedHandle(OwnedHandle&& other) noexcept : native_(std::exchange(other.native_, kNone)) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
      close();
      native_ = std::exchange(other.native_, kNone);
    }
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() { close(); }

  explicit operator bool() const { return native_ != kNone; }
  // The system's handle, for the calls that use it.
  std::intptr_t native() const { return native_; }
  // Closes it now; false when the system reports that it could not be
  // completed. True when none is held.
  bool close() { return native_ == kNone || Close(std::exchange(native_, kNone)); }

 private:
  // -1 stands for no handle: a failed open gives it, as a descriptor, an
  // INVALID_HANDLE_VALUE or an INVALID_SOCKET.
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t native_ = kNone;
};

#endif  // SYSTEM_OWNED_HANDLE_H
