#include "kernel_binding.h"

#include <dlfcn.h>

namespace vantry {

KernelBinding::KernelBinding(std::filesystem::path folder) : m_folder(std::move(folder)) {}

KernelBinding::~KernelBinding()
{
    for (auto& [file, handle] : m_libraries) dlclose(handle);
}

void* KernelBinding::resolve(const std::string& library, const std::string& name)
{
    const std::string key = library + ":" + name;
    if (auto found = m_entries.find(key); found != m_entries.end()) return found->second;

    auto lib = m_libraries.find(library);
    if (lib == m_libraries.end()) {
        const std::filesystem::path path = m_folder / library;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            throw KernelBindingError("The kernel library " + library + " cannot be loaded from " +
                                     m_folder.string() + ": " + dlerror());
        }
        lib = m_libraries.emplace(library, handle).first;
    }
    void* entry = dlsym(lib->second, name.c_str());
    if (entry == nullptr) {
        throw KernelBindingError("The entry point " + name + " is missing from the kernel library " +
                                 library + " in " + m_folder.string() + ".");
    }
    m_entries.emplace(key, entry);
    return entry;
}

} // namespace vantry
