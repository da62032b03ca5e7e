// Move-only owners of Windows handles: the traits for kivo::UniqueHandle of each kind, and
// the owners that need more than a handle to give it back.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "base/unique_handle.h"

namespace kivo {

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  // CreateFile fails with INVALID_HANDLE_VALUE, most others with null: neither is owned.
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};

struct ImageListTraits {
  using Handle = HIMAGELIST;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::ImageList_Destroy(h); }
};

using ScopedHandle = UniqueHandle<KernelHandleTraits>;
using ScopedBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using ScopedFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using ScopedMemoryDc = UniqueHandle<MemoryDcTraits>;
using ScopedModule = UniqueHandle<ModuleTraits>;
using ScopedIcon = UniqueHandle<IconTraits>;  // for icons the program made, not shared ones
using ScopedImageList = UniqueHandle<ImageListTraits>;

// A window's device context, given back to that window.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~ScopedWindowDc() {
    if (dc_)
      ::ReleaseDC(hwnd_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// An object selected into a device context for one scope; the previous one goes back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR)
      ::SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A bitmap of its own, selected into a memory device context of its own for the object's
// whole life: a picture drawn from (or on) again and again. The bitmap is taken back out of
// the context before either is freed, since a selected bitmap cannot be deleted.
class MemoryBitmap {
 public:
  MemoryBitmap() = default;
  ~MemoryBitmap() { Reset(); }
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;

  // Takes owned (which may be null) and selects it into a new context compatible with
  // compatibleWith (null: the screen).
  void Attach(HDC compatibleWith, HBITMAP owned) {
    Reset();
    bitmap_.reset(owned);
    dc_.reset(::CreateCompatibleDC(compatibleWith));
    if (dc_ && bitmap_)
      previous_ = ::SelectObject(dc_.get(), bitmap_.get());
  }
  void Reset() {
    if (dc_ && previous_)
      ::SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    dc_.reset();
    bitmap_.reset();
  }
  // The context with the bitmap in it; null unless both could be made.
  HDC dc() const { return previous_ ? dc_.get() : nullptr; }
  HBITMAP bitmap() const { return bitmap_.get(); }

 private:
  ScopedBitmap bitmap_;
  ScopedMemoryDc dc_;
  HGDIOBJ previous_ = nullptr;
};

// One reference to a COM object.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p) : p_(p) {}  // takes over a reference the caller owns
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_)
      p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    if (other.p_)
      other.p_->AddRef();
    reset();
    p_ = other.p_;
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: drops what was held.
  T** Receive() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_)
      p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace kivo
