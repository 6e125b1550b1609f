// The console output is flushed before a read of standard input waits, and
// only then.

#include "report/input_stream.h"
#include "report/output_sink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

struct pipe_ends {
    int read = -1;
    int write = -1;
    pipe_ends() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~pipe_ends() {
        for (int fd : {read, write})
            if (fd >= 0)
                close(fd);
    }
    pipe_ends(const pipe_ends&) = delete;
    pipe_ends& operator=(const pipe_ends&) = delete;
};

// A read that finds input ready, or the end, does not wait, so the output
// stays in its block.
TEST(FlushBeforeWait, InputAtHandKeepsTheOutputBuffered) {
    pipe_ends console;
    pipe_ends typed;
    ASSERT_GE(console.read, 0);
    ASSERT_GE(typed.read, 0);
    output_sink sink;
    open_sink(sink, console.write, false);
    put_text(sink, "prompt\n");
    input_stream in;
    in.fd = typed.read;
    in.flush_before_wait = &sink;

    ASSERT_EQ(write(typed.write, "5", 1), 1);
    EXPECT_EQ(peek_byte(in), '5');
    take_byte(in);
    EXPECT_EQ(sink.used, 8u);

    close(typed.write);
    typed.write = -1;
    EXPECT_EQ(peek_byte(in), end_of_input);
    EXPECT_EQ(sink.used, 8u);
}

} // namespace
