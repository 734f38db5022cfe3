// The device libraries' entry point. On the desktop the mingw runtime's start-up
// runs the static constructors before DllMain and the destructors they register
// after it; the device build carries no runtime, so this does that one job.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

typedef void (*Constructor)();
// The linker's list of static constructors, framed with -1 before and 0 after.
extern "C" Constructor __CTOR_LIST__[];

namespace {

typedef void (*Destructor)(void*);

struct Registered {
    Destructor destroy;
    void* object;
};

// The libraries hold a handful of objects with destructors.
constexpr int MaximumRegistered = 16;
Registered RegisteredDestructors[MaximumRegistered];
int RegisteredCount = 0;

void RunConstructors() {
    for (Constructor* c = __CTOR_LIST__ + 1; *c != nullptr; ++c) {
        (*c)();
    }
}

void RunDestructors() {
    while (RegisteredCount > 0) {
        --RegisteredCount;
        RegisteredDestructors[RegisteredCount].destroy(
            RegisteredDestructors[RegisteredCount].object);
    }
}

} // namespace

// The identity of this library among those that register destructors.
extern "C" {
void* __dso_handle = &__dso_handle;

int __cxa_atexit(Destructor destroy, void* object, void*) {
    if (RegisteredCount == MaximumRegistered) {
        return -1;
    }
    RegisteredDestructors[RegisteredCount] = {destroy, object};
    ++RegisteredCount;
    return 0;
}

BOOL WINAPI DllStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        RunConstructors();
    }
    const BOOL result = DllMain(instance, reason, reserved);
    if (reason == DLL_PROCESS_DETACH || (reason == DLL_PROCESS_ATTACH && !result)) {
        RunDestructors();
    }
    return result;
}
}
