#pragma once
// One owner template for every kind of system handle. Each kind names its empty value and how
// it is closed. Closing keeps the thread's last-error code, so a clean-up never changes the
// code that a failure text reports.
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <utility>

namespace vaq {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Take()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Empty(); }

  [[nodiscard]] Handle Take() { return std::exchange(handle_, Traits::Empty()); }

  void Reset(Handle handle = Traits::Empty()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Empty()) {
      const DWORD error = GetLastError();
      Traits::Close(old);
      SetLastError(error);
    }
  }

 private:
  Handle handle_ = Traits::Empty();
};

template <typename H, auto CloseFunction>
struct HandleTraits {
  using Handle = H;
  static Handle Empty() { return nullptr; }
  static void Close(Handle handle) { CloseFunction(handle); }
};

inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void FreeLocal(HLOCAL memory) { LocalFree(memory); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }

using UniqueHandleKernel = UniqueHandle<HandleTraits<HANDLE, CloseKernelHandle>>;
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { CloseHandle(handle); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueLocal = UniqueHandle<HandleTraits<HLOCAL, FreeLocal>>;
using UniqueGdiObject = UniqueHandle<HandleTraits<HGDIOBJ, DeleteGdiObject>>;
using UniqueFont = UniqueHandle<HandleTraits<HFONT, DeleteGdiObject>>;
using UniqueMemoryDc = UniqueHandle<HandleTraits<HDC, DeleteMemoryDc>>;

inline void FreeGlobal(HGLOBAL memory) { GlobalFree(memory); }
using UniqueGlobal = UniqueHandle<HandleTraits<HGLOBAL, FreeGlobal>>;

// The clipboard, open for this thread while the object lives.
class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ~ClipboardSession() {
    if (!open_) return;
    const DWORD error = GetLastError();
    CloseClipboard();
    SetLastError(error);
  }
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

// A global memory block, locked for as long as this owner lives; the block itself is not owned.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL block) : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (data_ == nullptr) return;
    const DWORD error = GetLastError();
    GlobalUnlock(block_);
    SetLastError(error);
  }
  void* Data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HGLOBAL block_;
  void* data_;
};

inline void CloseInternet(HINTERNET handle) { WinHttpCloseHandle(handle); }
inline void CloseCertificateStore(HCERTSTORE store) { CertCloseStore(store, 0); }
inline void FreeCertificate(PCCERT_CONTEXT certificate) { CertFreeCertificateContext(certificate); }

using UniqueInternet = UniqueHandle<HandleTraits<HINTERNET, CloseInternet>>;
using UniqueCertificateStore = UniqueHandle<HandleTraits<HCERTSTORE, CloseCertificateStore>>;
using UniqueCertificate = UniqueHandle<HandleTraits<PCCERT_CONTEXT, FreeCertificate>>;

}  // namespace vaq
