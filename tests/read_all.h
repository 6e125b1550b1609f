#pragma once

#include <cerrno>
#include <string>
#include <unistd.h>

// Everything left to read on `fd`, from a file, a pipe or a terminal side.
inline std::string read_all(int fd) {
    std::string all;
    char chunk[4096];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return all;
        all.append(chunk, static_cast<std::size_t>(got));
    }
}

// The whole of a memory or regular file written so far; closes it.
inline std::string rewound_contents(int fd) {
    lseek(fd, 0, SEEK_SET);
    std::string all = read_all(fd);
    close(fd);
    return all;
}
