#include "report/input_stream.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

int peek_byte(input_stream& in) {
    while (in.position == in.length) {
        if (in.ended)
            return end_of_input;
        ssize_t got = ::read(in.fd, in.buffer.data(), in.buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // A read error leaves nothing more to read, the same as an end.
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
