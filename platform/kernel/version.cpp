// The version query of the Windows kernel: the NT family, or the 9x family for tests.
#include "version.h"

#include <cstddef>
#include <cstring>

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(offsetof(OSVERSIONINFOA, dwPlatformId) == 16);
static_assert(offsetof(OSVERSIONINFOA, szCSDVersion) == 20);

namespace {

int32_t platform = VER_PLATFORM_WIN32_NT;

struct Release {
    int32_t platformId;
    uint32_t major, minor, build;
};

constexpr Release kReleases[] = {
    {VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222},
    {-1, 0, 0, 0},
};

}  // namespace

extern "C" int32_t GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return 0;
    for (const Release* r = kReleases; r->platformId >= 0; ++r) {
        if (r->platformId != platform) continue;
        info->dwMajorVersion = r->major;
        info->dwMinorVersion = r->minor;
        info->dwBuildNumber = r->build;
        info->dwPlatformId = uint32_t(r->platformId);
        std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
        return 1;
    }
    return 0;
}

extern "C" void KroKernelSetPlatform(int32_t platformId) {
    platform = platformId;
}
