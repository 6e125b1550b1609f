#include "report/output_sink.h"

#include "report/texts.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

void write_all(output_sink& sink, const char* data, std::size_t size) {
    while (size > 0 && sink.error == 0) {
        ssize_t done = ::write(sink.fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            sink.error = errno;
            if (sink.failures_to != nullptr && sink.error != EPIPE)
                put_text(*sink.failures_to,
                         cannot_write_console_message(std::strerror(sink.error)));
        } else {
            data += done;
            size -= static_cast<std::size_t>(done);
        }
    }
}

void put_byte(output_sink& sink, char byte) {
    sink.buffer[sink.used++] = byte;
    if (sink.used == sink.buffer.size()) {
        write_all(sink, sink.buffer.data(), sink.used);
        sink.used = 0;
    }
}

} // namespace

void open_sink(output_sink& sink, int fd, bool immediate) {
    sink.fd = fd;
    sink.immediate = immediate;
    sink.used = 0;
    sink.error = 0;
}

void put_text(output_sink& sink, std::string_view text) {
    for (char c : text) {
        if (c == '\n')
            put_byte(sink, '\r');
        put_byte(sink, c);
    }
    if (sink.immediate)
        flush_sink(sink);
}

void flush_sink(output_sink& sink) {
    if (sink.used > 0)
        write_all(sink, sink.buffer.data(), sink.used);
    sink.used = 0;
}
