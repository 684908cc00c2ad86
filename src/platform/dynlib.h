/* Shared libraries loaded at run time by full path. */
#ifndef ORVELLA_PLATFORM_DYNLIB_H
#define ORVELLA_PLATFORM_DYNLIB_H

#include "wintypes.h"

/* Loads with every symbol resolved now and kept local. Null on failure; then
 * GetLoadLibraryError tells why (text of the calling thread's last failure). */
PLATFORM_API HMODULE LoadLibrary(const char* path);
PLATFORM_API void* GetProcAddress(HMODULE module, const char* name);
PLATFORM_API BOOL FreeLibrary(HMODULE module);
PLATFORM_API const char* GetLoadLibraryError(void);

#ifdef __cplusplus
#include <string>

namespace platform {

// Owns one loaded library; frees it when destroyed.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { close(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    bool open(const std::string& path);
    bool isOpen() const { return handle_ != nullptr; }
    void* symbol(const char* name) const;
    template <typename Fn>
    Fn function(const char* name) const { return reinterpret_cast<Fn>(symbol(name)); }
    bool close();
    HMODULE handle() const { return handle_; }
    const std::string& error() const { return error_; }

private:
    HMODULE handle_ = nullptr;
    std::string error_;
};

} // namespace platform
#endif

#endif
