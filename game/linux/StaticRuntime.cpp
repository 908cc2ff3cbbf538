// Linked into the Linux release's program, which carries its own libstdc++: that
// libstdc++, built against glibc 2.36, draws std::random_device's numbers from arc4random,
// which glibc has only since 2.36. The release's link sends those calls here instead
// (-Wl,--wrap=arc4random), to getrandom, which glibc has had since 2.25, so that the
// program runs on systems with an older C library (Ubuntu 22.04's 2.35, say).
#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

extern "C" std::uint32_t __wrap_arc4random() {
    std::uint32_t value = 0;
    for (;;) {
        const ssize_t got = getrandom(&value, sizeof value, 0);
        if (got == static_cast<ssize_t>(sizeof value)) {
            return value;
        }
        if (got < 0 && errno != EINTR) {
            break;
        }
    }
    // A kernel without getrandom (before Linux 3.17): the device it stands for.
    if (std::FILE* device = std::fopen("/dev/urandom", "rb")) {
        const std::size_t read = std::fread(&value, sizeof value, 1, device);
        std::fclose(device);
        if (read == 1) {
            return value;
        }
    }
    std::abort(); // as arc4random does without entropy: never a number that is not random
}
