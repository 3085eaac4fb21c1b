#pragma once
// The one owner of an operating-system handle (an X window, cursor, GC or
// grab, a registry key): the handle is given back exactly once, when its
// owner goes, unless it is released first because the system already took
// it back. The traits say what an empty handle is and how one is given back,
// and carry what giving back needs (the X display):
//
//   struct Traits {
//       using Handle = ...;
//       static Handle Empty();
//       void Free(Handle handle) const;  // never called with Empty()
//   };

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Traits traits = Traits()) : handle_(handle), traits_(std::move(traits)) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()), traits_(std::move(other.traits_)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.Release();
            traits_ = std::move(other.traits_);
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }

    // Gives the handle back now.
    void Reset() {
        if (handle_ != Traits::Empty()) traits_.Free(handle_);
        handle_ = Traits::Empty();
    }
    // The handle is no longer this owner's to give back.
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }

private:
    Handle handle_ = Traits::Empty();
    Traits traits_{};
};
