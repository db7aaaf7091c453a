#pragma once
// Owning wrappers for the few Win32 handle kinds the program holds.
// One type per kind, copy deleted, move allowed, the empty value part of the type.
#include <windows.h>
#include <utility>

namespace ui {

template <typename T, auto Close, T Empty = T{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T value) noexcept : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Empty; }

    // Closes what is held and takes the new value.
    void reset(T value = Empty) noexcept {
        if (value_ != Empty) Close(value_);
        value_ = value;
    }
    T release() noexcept { return std::exchange(value_, Empty); }

    // Out-slot for a platform call; whatever was held is closed first.
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    T value_ = Empty;
};

using UniqueHKey = UniqueHandle<HKEY, &::RegCloseKey>;
using UniqueScHandle = UniqueHandle<SC_HANDLE, &::CloseServiceHandle>;
using UniqueHLocal = UniqueHandle<HLOCAL, &::LocalFree>;
using UniqueHGlobal = UniqueHandle<HGLOBAL, &::GlobalFree>;
using UniqueHandleObject = UniqueHandle<HANDLE, &::CloseHandle>;
using UniqueHModule = UniqueHandle<HMODULE, &::FreeLibrary>;
using UniqueHMenu = UniqueHandle<HMENU, &::DestroyMenu>;
using UniqueHHook = UniqueHandle<HHOOK, &::UnhookWindowsHookEx>;

}  // namespace ui
