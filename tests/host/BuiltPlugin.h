#pragma once

#include "PluginLibrary.h"
#include "RecordingHost.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <cstdlib>
#include <filesystem>

namespace varnoke::test
{
// The plug-in under test: the build's Varnoke.so on Linux; on Windows,
// Varnoke.dll, copied beside the test program by the build, or the one named
// by VARNOKE_TEST_PLUGIN_DLL (the installer's test points it at the installed DLL).
inline std::filesystem::path builtPluginPath()
{
#if defined(_WIN32)
    if (const wchar_t* chosen = _wgetenv(L"VARNOKE_TEST_PLUGIN_DLL"); chosen != nullptr && *chosen != L'\0')
        return chosen;
    wchar_t program[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    return std::filesystem::path(std::wstring(program, length)).parent_path() / L"Varnoke.dll";
#else
    return VARNOKE_PLUGIN_PATH;
#endif
}

// Whether the plug-in can open windows here: Windows always can, Linux needs an X display.
inline bool windowSystemAvailable()
{
#if defined(_WIN32)
    return true;
#else
    return std::getenv("DISPLAY") != nullptr;
#endif
}

inline VstIntPtr dispatch(AEffect* effect, int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
}  // namespace varnoke::test
