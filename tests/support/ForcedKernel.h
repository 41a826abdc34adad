#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace varnoke::test
{
// The kernel names the plug-in accepts in VARNOKE_KERNEL on this processor
// family, widest last, and a name of the other family's, which it refuses.
#if defined(__x86_64__) || defined(_M_X64)
inline const char* const kernelNames[] = {"sse2", "avx2", "avx512"};
inline const char* const otherFamilysKernelName = "neon";
#else
inline const char* const kernelNames[] = {"neon"};
inline const char* const otherFamilysKernelName = "sse2";
#endif

// Whether this processor runs the named kernel: the test's own reading of the
// processor, independent of the plug-in's.
inline bool processorRunsKernel(const std::string& name)
{
#if defined(__x86_64__) || defined(_M_X64)
    if (name == "avx2")
        return __builtin_cpu_supports("avx2");
    if (name == "avx512")
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    return name == "sse2";
#else
    return name == "neon";
#endif
}

// Why a test of the named kernel is skipped here.
inline std::string cannotRunKernel(const std::string& name)
{
    return "this processor cannot run the " + name + " kernel: not tested here";
}

inline void setEnvironmentVariable(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void unsetEnvironmentVariable(const char* name)
{
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes it
#else
    unsetenv(name);
#endif
}

// Sets VARNOKE_KERNEL for the plug-ins prepared while it lives, and puts the
// variable back as it was afterwards.
class ForcedKernel
{
public:
    explicit ForcedKernel(const std::string& name)
    {
        if (const char* value = std::getenv(variable))
            previous = value;
        setEnvironmentVariable(variable, name.c_str());
    }
    ~ForcedKernel()
    {
        if (previous)
            setEnvironmentVariable(variable, previous->c_str());
        else
            unsetEnvironmentVariable(variable);
    }
    ForcedKernel(const ForcedKernel&) = delete;
    ForcedKernel& operator=(const ForcedKernel&) = delete;

private:
    static constexpr const char* variable = "VARNOKE_KERNEL";
    std::optional<std::string> previous;
};
}  // namespace varnoke::test
