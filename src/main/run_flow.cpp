#include "main/run_flow.h"

#include "analysis/model.h"
#include "report/texts.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {

// The longest file name taken; reading it must stay bounded.
constexpr std::size_t file_name_limit = 4095;

// Flushes the report file; false after a message when any write to it failed.
bool report_file_written(report& r) {
    flush_sink(r.file);
    if (r.file.error == 0)
        return true;
    flush_sink(r.console);
    put_error(r, cannot_write_message(r.file_name, r.file.error));
    return false;
}

} // namespace

void open_standard_report(report& r) {
    // A closed standard descriptor would be handed to the report file, and the
    // console text would land in it.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDWR);
    r.input.fd = 0;
    open_sink(r.console, 1, isatty(1) == 1);
    r.input.flush_before_wait = &r.console;
    open_sink(r.errors, 2, true);
}

bool open_report_file(report& r) {
    put_text(r.console, text::filename_prompt);
    int c = peek_byte(r.input);
    while (is_blank_space(c)) {
        take_byte(r.input);
        c = peek_byte(r.input);
    }
    if (c == end_of_input) {
        flush_sink(r.console);
        put_error(r, no_filename_message());
        return false;
    }
    // The character that ends the name stays in the input.
    r.file_name.clear();
    while (c != end_of_input && !is_blank_space(c)) {
        if (r.file_name.size() == file_name_limit) {
            flush_sink(r.console);
            put_error(r, filename_too_long_message());
            return false;
        }
        r.file_name += static_cast<char>(c);
        take_byte(r.input);
        c = peek_byte(r.input);
    }

    const char* path = r.create_path != nullptr ? r.create_path : r.file_name.c_str();
    int fd = -1;
    if (r.file_name.find('\0') != std::string::npos) {
        // The system would cut the name at the zero byte and write elsewhere.
        errno = EINVAL;
    } else {
        do {
            fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
        int error = errno;
        flush_sink(r.console);
        put_error(r, cannot_create_message(r.file_name, error));
        return false;
    }
    open_sink(r.file, fd, false);
    put_text(r.console, text::file_created);
    return true;
}

run_end run_dialogue(report& r) {
    put_text(r.console, text::title);
    put_text(r.console, text::credit);
    put_text(r.console, text::console_heading);
    if (!open_report_file(r))
        return run_end::stopped;

    put_text(r.file, text::title);
    put_text(r.file, text::credit);
    put_text(r.file, text::file_heading);
    for (std::string_view t : {text::units, text::inertia_unit, text::stiffness_unit})
        put_text(r.console, t);
    for (std::string_view t : {text::units, text::inertia_unit, text::stiffness_unit})
        put_text(r.file, t);

    disk_shaft_model model;
    model.disk_count = 3;
    try {
        run_analysis(model, r);
    } catch (const zero_pivot_stop&) {
        report_file_written(r);
        return run_end::stopped;
    }
    if (!report_file_written(r))
        return run_end::stopped;
    put_text(r.console, text::output_file_heading);
    put_text(r.console, output_file_line(r.file_name));
    return run_end::completed;
}
