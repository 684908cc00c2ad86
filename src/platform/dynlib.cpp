#include "dynlib.h"

#include <dlfcn.h>

#include <string>

namespace {
thread_local std::string lastError;

void rememberError()
{
    const char* e = dlerror();
    lastError = e ? e : "unknown error";
}
} // namespace

HMODULE LoadLibrary(const char* path)
{
    if (!path || !*path) {
        lastError = "no library name";
        return nullptr;
    }
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        rememberError();
    return handle;
}

void* GetProcAddress(HMODULE module, const char* name)
{
    if (!module || !name) {
        lastError = "no library or no name";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(module, name);
    if (!address)
        rememberError();
    return address;
}

BOOL FreeLibrary(HMODULE module)
{
    if (!module) {
        lastError = "no library";
        return FALSE;
    }
    if (dlclose(module) != 0) {
        rememberError();
        return FALSE;
    }
    return TRUE;
}

const char* GetLoadLibraryError(void)
{
    return lastError.c_str();
}

namespace platform {

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool DynamicLibrary::open(const std::string& path)
{
    close();
    handle_ = ::LoadLibrary(path.c_str());
    error_ = handle_ ? "" : GetLoadLibraryError();
    return handle_ != nullptr;
}

void* DynamicLibrary::symbol(const char* name) const
{
    return handle_ ? ::GetProcAddress(handle_, name) : nullptr;
}

bool DynamicLibrary::close()
{
    if (!handle_)
        return true;
    bool ok = ::FreeLibrary(handle_) != FALSE;
    if (!ok)
        error_ = GetLoadLibraryError();
    handle_ = nullptr;
    return ok;
}

} // namespace platform
