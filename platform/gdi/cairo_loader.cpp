// The Cairo device's entry points as this library has them: the device lives
// in a module of its own (libkrogdi-cairo.so, beside this library), loaded the
// first time a drawing device is made, so that programs that never draw do
// not load Cairo and the twenty libraries it brings.
#include <dlfcn.h>

#include <atomic>
#include <string>

#include "kro/gdi.h"

namespace {

struct CairoCalls {
    decltype(&KroGdiCreateDevice) create = nullptr;
    decltype(&KroGdiFinish) finish = nullptr;
    decltype(&KroGdiNextPage) nextPage = nullptr;
    decltype(&KroGdiPixels) pixels = nullptr;
    decltype(&KroGdiReadRows) readRows = nullptr;
    decltype(&KroGdiWritePNG) writePng = nullptr;
    decltype(&KroGdiWritePNGDepth) writePngDepth = nullptr;
    decltype(&KroGdiWritePNGStream) writePngStream = nullptr;
};

// Set once the module is in; a device of it can only exist from then on.
std::atomic<const CairoCalls*> loaded{nullptr};

template <typename T>
bool find(void* module, const char* name, T* call) {
    *call = reinterpret_cast<T>(dlsym(module, name));
    return *call != nullptr;
}

void* openModule() {
    constexpr const char* kName = "libkrogdi-cairo.so";
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&openModule), &self) && self.dli_fname) {
        const std::string library = self.dli_fname;
        const size_t slash = library.rfind('/');
        if (slash != std::string::npos) {
            const std::string beside = library.substr(0, slash + 1) + kName;
            if (void* module = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        }
    }
    return dlopen(kName, RTLD_NOW | RTLD_LOCAL);
}

// The module's calls, loading it on the first call; null when it cannot be
// loaded (no drawing device can be made then).
const CairoCalls* load() {
    static const CairoCalls* const calls = []() -> const CairoCalls* {
        void* module = openModule();
        static CairoCalls c;
        if (!module || !find(module, "krogdiCairoCreateDevice", &c.create) ||
            !find(module, "krogdiCairoFinish", &c.finish) ||
            !find(module, "krogdiCairoNextPage", &c.nextPage) ||
            !find(module, "krogdiCairoPixels", &c.pixels) ||
            !find(module, "krogdiCairoReadRows", &c.readRows) ||
            !find(module, "krogdiCairoWritePNG", &c.writePng) ||
            !find(module, "krogdiCairoWritePNGDepth", &c.writePngDepth) ||
            !find(module, "krogdiCairoWritePNGStream", &c.writePngStream))
            return nullptr;
        loaded.store(&c, std::memory_order_release);
        return &c;
    }();
    return calls;
}

const CairoCalls* made() {
    return loaded.load(std::memory_order_acquire);
}

}  // namespace

extern "C" {

HDC KroGdiCreateDevice(int32_t kind, int32_t width, int32_t height, int32_t resolution,
                       const char* path, uint32_t flags) {
    const CairoCalls* c = load();
    return c ? c->create(kind, width, height, resolution, path, flags) : nullptr;
}

int32_t KroGdiFinish(HDC dc) {
    const CairoCalls* c = made();
    return c ? c->finish(dc) : -1;
}

int32_t KroGdiNextPage(HDC dc, int32_t width, int32_t height) {
    const CairoCalls* c = made();
    return c ? c->nextPage(dc, width, height) : -1;
}

const unsigned char* KroGdiPixels(HDC dc, int32_t* width, int32_t* height, int32_t* stride) {
    const CairoCalls* c = made();
    return c ? c->pixels(dc, width, height, stride) : nullptr;
}

int32_t KroGdiReadRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes) {
    const CairoCalls* c = made();
    return c ? c->readRows(dc, depth, rows, rowBytes) : -1;
}

int32_t KroGdiWritePNG(HDC dc, const char* path) {
    const CairoCalls* c = made();
    return c ? c->writePng(dc, path) : -1;
}

int32_t KroGdiWritePNGDepth(HDC dc, const char* path, int32_t depth, int32_t level) {
    const CairoCalls* c = made();
    return c ? c->writePngDepth(dc, path, depth, level) : -1;
}

int32_t KroGdiWritePNGStream(HDC dc, FILE* stream, int32_t depth, int32_t level) {
    const CairoCalls* c = made();
    return c ? c->writePngStream(dc, stream, depth, level) : -1;
}

}  // extern "C"
