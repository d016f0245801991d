#pragma once
// Binds the kernel libraries by name: each library is opened from the program's folder at its
// first use and each entry point is resolved by name at its first use.

#include "fourel.h"
#include "parvel.h"

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

namespace vantry {

/// A library or entry point that could not be bound; the message names it.
class KernelBindingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class KernelBinding {
public:
    /// Libraries are looked for in `folder`.
    explicit KernelBinding(std::filesystem::path folder);
    ~KernelBinding();
    KernelBinding(const KernelBinding&) = delete;
    KernelBinding& operator=(const KernelBinding&) = delete;

    /// Address of entry point `name` of the library file `library` ("libParvel.so"); throws
    /// KernelBindingError naming the library and the folder, or the entry point.
    void* resolve(const std::string& library, const std::string& name);

    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
    std::map<std::string, void*> m_libraries;
    std::map<std::string, void*> m_entries;
};

/// Typed access to one entry point, resolved on first call: PARVEL(k, var2trn)(dst, src, 1).
#define PARVEL(binding, name) \
    reinterpret_cast<decltype(&::name)>((binding).resolve("libParvel.so", #name))
#define FOUREL(binding, name) \
    reinterpret_cast<decltype(&::name)>((binding).resolve("libFourel.so", #name))

} // namespace vantry
