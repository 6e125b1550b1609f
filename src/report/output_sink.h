#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// A byte stream to a file descriptor that writes every line break as CR LF.
// Opened immediate, it writes each text at once, otherwise in 4096-byte
// blocks; the caller chooses, the sink never checks for a terminal.
struct output_sink {
    int fd = -1;
    bool immediate = false;
    std::size_t used = 0;
    int error = 0; // errno of the first failed write; later writes are dropped
    // Set on the console: its first failed write is told there, except to a
    // reader that has gone away.
    output_sink* failures_to = nullptr;
    std::array<char, 4096> buffer{};
};

void open_sink(output_sink& sink, int fd, bool immediate);
void put_text(output_sink& sink, std::string_view text);
void flush_sink(output_sink& sink);
