// A slow disk for the page-turn benchmark: preloaded (LD_PRELOAD), it makes
// every fsync() and fdatasync() of the process take TAVRIL_FSYNC_DELAY_MS
// (20 by default) longer, as on a laptop's disk.

#include <cstdlib>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

namespace {

void delay()
{
    const char *text = std::getenv("TAVRIL_FSYNC_DELAY_MS");
    const long ms = text ? std::atol(text) : 20;
    timespec wait{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&wait, nullptr);
}

template <typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    static auto real = next<int (*)(int)>("fsync");
    delay();
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    static auto real = next<int (*)(int)>("fdatasync");
    delay();
    return real(fd);
}
