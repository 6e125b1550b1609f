#pragma once

// Small pieces the fuzz targets share.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <unistd.h>

// Stops the fuzzer on a broken expectation, like a crash it can report.
inline void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// Replaces the contents of the memory file fd with the fuzz bytes and rewinds it.
inline void load(int fd, const std::uint8_t* data, std::size_t size) {
    check(ftruncate(fd, 0) == 0);
    std::size_t done = 0;
    while (done < size) {
        ssize_t put = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        check(put > 0);
        done += static_cast<std::size_t>(put);
    }
    check(lseek(fd, 0, SEEK_SET) == 0);
}
