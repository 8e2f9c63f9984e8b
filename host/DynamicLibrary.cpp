#include "host/DynamicLibrary.h"

#if defined(_WIN32)
#include <windows.h>

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string& error)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary()
{
    FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::symbol(const std::string& name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
}

bool DynamicLibrary::isLoaded(const std::string& path)
{
    return GetModuleHandleA(path.c_str()) != nullptr;
}

#else
#include <dlfcn.h>

namespace {

// A path without a slash would be searched for in the system folders.
std::string located(const std::string& path)
{
    return path.find('/') == std::string::npos ? "./" + path : path;
}

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string& error)
{
    void* handle = dlopen(located(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary()
{
    dlclose(handle_);
}

void* DynamicLibrary::symbol(const std::string& name) const
{
    return dlsym(handle_, name.c_str());
}

bool DynamicLibrary::isLoaded(const std::string& path)
{
    void* handle = dlopen(located(path).c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);  // RTLD_NOLOAD still counts a reference
    return handle != nullptr;
}
#endif
