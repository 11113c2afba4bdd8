// Each of our DLLs links the C++ runtime statically. The runtime keeps an emergency exception pool (about 73 KB,
// from malloc) that nothing frees when the DLL is unloaded, and hosts load and unload these DLLs again and
// again (the component loads the data component on every Init): the DLL's entry point frees it on an unload.
#pragma once

namespace __gnu_cxx {
void __freeres() noexcept;
}

// For DLL_PROCESS_DETACH with lpReserved NULL (FreeLibrary, not process exit).
inline void ReleaseRuntimeAtUnload() { __gnu_cxx::__freeres(); }
