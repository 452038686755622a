// Linked into every module built for the stand-in host: it plays the part of
// the system loader, which hands a library its attach and detach calls with
// the module handle (the address the module is loaded at).
#include <dlfcn.h>

#include "hostsdk.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

HINSTANCE thisModule() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&thisModule), &info)) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void attachModule() {
    DllMain(thisModule(), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void detachModule() {
    DllMain(thisModule(), DLL_PROCESS_DETACH, nullptr);
}

}  // namespace
