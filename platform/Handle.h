// One owner for each kind of handle the system hands out: closed exactly
// once, on every path, by the call that kind needs. One line a kind.
#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>
#include <utility>

#include "SystemImports.h"

// `Close` is called on a handle other than `Invalid`, the value the
// system's calls give on failure.
template <typename Type, void (*Close)(Type), intptr_t Invalid = 0>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : m_handle(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  static Type None() {
    if constexpr (std::is_pointer_v<Type>)
      return reinterpret_cast<Type>(Invalid);
    else
      return static_cast<Type>(Invalid);
  }
  Type get() const { return m_handle; }
  bool valid() const { return m_handle != None(); }
  Type release() { return std::exchange(m_handle, None()); }
  void reset(Type handle = None()) {
    if (valid()) Close(m_handle);
    m_handle = handle;
  }
  // Where a call that hands out a handle puts it; what was held is closed.
  Type* put() {
    reset();
    return &m_handle;
  }

 private:
  Type m_handle = None();
};

namespace closers {
inline void Handle(HANDLE handle) { CloseHandle(handle); }
inline void Key(HKEY key) { RegCloseKey(key); }
template <typename Pointer>
void Local(Pointer memory) {
  LocalFree(memory);
}
inline void Boundary(HANDLE boundary) {
  if (const auto remove = imports::DeleteBoundaryDescriptor()) remove(boundary);
}
inline void Namespace(HANDLE space) {
  if (const auto close = imports::ClosePrivateNamespace()) close(space, 0);
}
}  // namespace closers

// Files, and folders held open: INVALID_HANDLE_VALUE on failure.
using UniqueFile = UniqueHandle<HANDLE, closers::Handle, -1>;
// Processes, tokens, mutexes: null on failure.
using UniqueObject = UniqueHandle<HANDLE, closers::Handle>;
using UniqueKey = UniqueHandle<HKEY, closers::Key>;
// What the system allocates for its caller: SIDs, security descriptors, texts.
template <typename Pointer>
using UniqueLocal = UniqueHandle<Pointer, closers::Local<Pointer>>;
// A private namespace's boundary, and the namespace (Vista and later).
using UniqueBoundary = UniqueHandle<HANDLE, closers::Boundary>;
using UniqueNamespace = UniqueHandle<HANDLE, closers::Namespace>;
