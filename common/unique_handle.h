// Move-only owners for the Windows handles the programs open. Each closes its handle exactly
// once: on reset(), on destruction, or never after release(). Closing keeps GetLastError()
// intact, so a failure path can clean up before it reads the error.
#pragma once

#include <windows.h>

#include <utility>

namespace common {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Type value) noexcept : value_(value) {}
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  [[nodiscard]] Type get() const noexcept { return value_; }
  [[nodiscard]] bool valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Resetting to the value already held keeps it open: closing it would leave the owner with a
  // closed value, closed again later (and perhaps reused by then).
  void reset(Type value = Traits::Invalid()) noexcept {
    if (valid() && value != value_) {
      const DWORD last_error = GetLastError();
      Traits::Close(value_);
      SetLastError(last_error);
    }
    value_ = value;
  }

  [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  // Closes what is held and returns the slot for an API that hands out a new resource through an
  // out-parameter.
  [[nodiscard]] Type* receive() noexcept {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type handle) noexcept { CloseHandle(handle); }
};

// Files, pipes and the other handles that CreateFileW and CreateNamedPipeW give out, which are
// invalid at INVALID_HANDLE_VALUE rather than at null.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { CloseHandle(handle); }
};

struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type handle) noexcept { CloseServiceHandle(handle); }
};

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type key) noexcept { RegCloseKey(key); }
};

struct LocalMemoryTraits {
  using Type = void*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type memory) noexcept { LocalFree(memory); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type module) noexcept { FreeLibrary(module); }
};

using UniqueModule = UniqueResource<ModuleTraits>;

}  // namespace common
