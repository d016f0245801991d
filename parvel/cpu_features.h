#pragma once
// Run-time choice of the vector code: one binary runs on any x86-64 and uses AVX2 where the
// processor has it. Included only by portable translation units.

namespace vantry_kernels {

/// True when the processor and the operating system support AVX2. Asked once per process: cpuid
/// is slow under a hypervisor.
inline bool cpuHasAvx2()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

} // namespace vantry_kernels
