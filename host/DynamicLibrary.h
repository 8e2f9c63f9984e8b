#pragma once
// Loads a shared library (a plug-in file) and looks up its symbols.

#include <memory>
#include <string>

class DynamicLibrary {
public:
    static std::unique_ptr<DynamicLibrary> open(const std::string& path, std::string& error);
    ~DynamicLibrary();

    void* symbol(const std::string& name) const;

    // Whether the file is loaded in this process at all, by anyone: after the last
    // DynamicLibrary on it is gone, a file that unloads cleanly is not.
    static bool isLoaded(const std::string& path);

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};
