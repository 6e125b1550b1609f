#pragma once

#include <array>
#include <cstddef>
#include <string_view>

struct output_sink;

// Buffered standard input, shared by the file name and the numeric reads so
// that whatever one read leaves behind is what the next one sees.
struct input_stream {
    int fd = 0;
    std::size_t position = 0;
    std::size_t length = 0;
    bool ended = false;
    // Flushed before a read that would wait, so what the user is asked for
    // shows first even when it goes into a pipe.
    output_sink* flush_before_wait = nullptr;
    // Where the first failed read is told, after the waiting output.
    output_sink* failures_to = nullptr;
    std::array<char, 4096> buffer{};
};

constexpr int end_of_input = -1;

// The next byte without taking it, or end_of_input; waits for input if needed.
int peek_byte(input_stream& in);
void take_byte(input_stream& in);
bool is_blank_space(int c);
// Takes blank space up to the next other byte or the end of input.
void skip_blank_space(input_stream& in);

// An input that holds just `text`, at most one buffer's worth, and then ends.
void open_text_input(input_stream& in, std::string_view text);
