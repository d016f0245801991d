#pragma once
// Opens a kernel library by file name from the output folder and resolves entry points by name,
// the way the program binds them.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

class KernelLibrary {
public:
    explicit KernelLibrary(const std::string& file)
        : m_handle(dlopen((std::string(VANTRY_BIN_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (m_handle == nullptr) ADD_FAILURE() << "cannot open " << file << ": " << dlerror();
    }
    ~KernelLibrary()
    {
        if (m_handle != nullptr) dlclose(m_handle);
    }
    KernelLibrary(const KernelLibrary&) = delete;
    KernelLibrary& operator=(const KernelLibrary&) = delete;

    /// The entry point `name` as a function pointer of type Fn; fails the test when it is missing.
    template <typename Fn>
    Fn entry(const char* name) const
    {
        void* p = m_handle != nullptr ? dlsym(m_handle, name) : nullptr;
        if (p == nullptr) ADD_FAILURE() << "entry point " << name << " not found";
        return reinterpret_cast<Fn>(p);
    }

private:
    void* m_handle;
};

/// The libraries, opened once per test program.
inline const KernelLibrary& parvelLibrary()
{
    static const KernelLibrary lib("libParvel.so");
    return lib;
}
inline const KernelLibrary& fourelLibrary()
{
    static const KernelLibrary lib("libFourel.so");
    return lib;
}
inline const KernelLibrary& trifolLibrary()
{
    static const KernelLibrary lib("libTrifol.so");
    return lib;
}

/// The entry point `name` of library `lib`, typed from its declaration in the C header.
#define KERNEL_ENTRY(lib, name) (lib).entry<decltype(&name)>(#name)
