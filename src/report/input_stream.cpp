#include "report/input_stream.h"

#include "report/output_sink.h"
#include "report/texts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

// Flushes the waiting output unless input is ready at once: a whole file fed
// in keeps its output in full blocks.
void flush_if_read_waits(input_stream& in) {
    if (in.flush_before_wait == nullptr || in.flush_before_wait->used == 0)
        return;
    pollfd p{in.fd, POLLIN, 0};
    if (::poll(&p, 1, 0) != 1)
        flush_sink(*in.flush_before_wait);
}

void tell_read_failure(input_stream& in, int error) {
    if (in.failures_to == nullptr)
        return;
    if (in.flush_before_wait != nullptr)
        flush_sink(*in.flush_before_wait);
    put_text(*in.failures_to, cannot_read_input_message(std::strerror(error)));
}

} // namespace

int peek_byte(input_stream& in) {
    while (in.position == in.length) {
        if (in.ended)
            return end_of_input;
        flush_if_read_waits(in);
        ssize_t got = ::read(in.fd, in.buffer.data(), in.buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // A read error leaves nothing more to read, the same as an end,
            // but is told.
            if (got < 0)
                tell_read_failure(in, errno);
            in.ended = true;
            return end_of_input;
        }
        in.position = 0;
        in.length = static_cast<std::size_t>(got);
    }
    return static_cast<unsigned char>(in.buffer[in.position]);
}

void take_byte(input_stream& in) {
    if (in.position < in.length)
        ++in.position;
}

bool is_blank_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void skip_blank_space(input_stream& in) {
    while (is_blank_space(peek_byte(in)))
        take_byte(in);
}

void open_text_input(input_stream& in, std::string_view text) {
    in.length = std::min(text.size(), in.buffer.size());
    std::copy_n(text.data(), in.length, in.buffer.data());
    in.position = 0;
    in.ended = true;
}
