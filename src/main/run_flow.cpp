#include "main/run_flow.h"

#include "analysis/model.h"
#include "report/texts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest file name taken; reading it must stay bounded.
constexpr std::size_t file_name_limit = 4095;

// The report file name as shown on `fd`: a terminal gets no raw control bytes.
std::string shown_name(const run_streams& r, int fd) {
    return isatty(fd) == 1 ? caret_notation(r.file_name) : r.file_name;
}

// A report into one of these would overwrite, or feed into, the tool's own
// streams. Terminals and other devices are shared safely.
bool same_file_or_pipe(const struct stat& file, int fd) {
    struct stat other {};
    return (S_ISREG(file.st_mode) || S_ISFIFO(file.st_mode)) && fstat(fd, &other) == 0 &&
           other.st_dev == file.st_dev && other.st_ino == file.st_ino;
}

// False when another process holds a lock on the file. A file system that
// cannot lock at all leaves the file unlocked.
bool locked_for_this_run(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    whole.l_start = 0;
    whole.l_len = 0;
    int done = 0;
    do {
        done = fcntl(fd, F_SETLK, &whole);
    } while (done != 0 && errno == EINTR);
    return done == 0 || (errno != EACCES && errno != EAGAIN);
}

// A regular report file ends where the report ends, whatever another program
// wrote into it meanwhile. Flushed before.
void cut_to_report_length(output_sink& report_file) {
    struct stat file {};
    if (fstat(report_file.fd, &file) != 0 || !S_ISREG(file.st_mode))
        return;
    off_t written = lseek(report_file.fd, 0, SEEK_CUR);
    if (written >= 0 && ftruncate(report_file.fd, written) != 0 && report_file.error == 0)
        report_file.error = errno;
}

// Flushes and closes the report file; false after a message when any write to
// it or its close failed (delayed write errors show up only at the close).
bool report_file_closed(run_streams& r) {
    flush_sink(r.report_file);
    if (r.report_file.fd >= 0) {
        cut_to_report_length(r.report_file);
        if (::close(r.report_file.fd) != 0 && r.report_file.error == 0)
            r.report_file.error = errno;
        r.report_file.fd = -1;
    }
    if (r.report_file.error == 0)
        return true;
    put_error(r,
              cannot_write_message(shown_name(r, r.errors.fd), std::strerror(r.report_file.error)));
    return false;
}

// Takes the report file name from the input. False after an error message.
bool read_file_name(run_streams& r) {
    skip_blank_space(r.input);
    int c = peek_byte(r.input);
    if (c == end_of_input) {
        put_error(r, no_filename_message());
        return false;
    }
    // The character that ends the name stays in the input.
    r.file_name.clear();
    while (c != end_of_input && !is_blank_space(c)) {
        if (r.file_name.size() == file_name_limit) {
            put_error(r, filename_too_long_message());
            return false;
        }
        r.file_name += static_cast<char>(c);
        take_byte(r.input);
        c = peek_byte(r.input);
    }
    return true;
}

// Closes fd when it is open and says why the report file cannot be created.
bool refuse_report_file(run_streams& r, int fd, std::string_view reason) {
    if (fd >= 0)
        ::close(fd);
    put_error(r, cannot_create_message(shown_name(r, r.errors.fd), reason));
    return false;
}

// Creates or empties the report file at the name read. A regular file, FIFO
// or pipe that is also the input, the console or the error stream is refused,
// and so is a regular file that another run is writing. False after an error
// message.
bool create_report_file(run_streams& r) {
    const char* path = r.create_path != nullptr ? r.create_path : r.file_name.c_str();
    int fd = -1;
    if (r.file_name.find('\0') != std::string::npos) {
        // The system would cut the name at the zero byte and write elsewhere.
        errno = EINVAL;
    } else {
        // No O_TRUNC: the file may be the tool's own input or console, which
        // must stay intact.
        do {
            fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0)
        return refuse_report_file(r, fd, std::strerror(errno));
    struct stat file {};
    if (fstat(fd, &file) == 0) {
        for (int standard : {r.input.fd, r.console.fd, r.errors.fd})
            if (same_file_or_pipe(file, standard))
                return refuse_report_file(r, fd, shared_file_reason);
    }
    if (S_ISREG(file.st_mode)) {
        if (!locked_for_this_run(fd))
            return refuse_report_file(r, fd, locked_file_reason);
        if (ftruncate(fd, 0) != 0)
            return refuse_report_file(r, fd, std::strerror(errno));
    }
    open_sink(r.report_file, fd, false);
    return true;
}

} // namespace

void open_standard_streams(run_streams& r) {
    // A closed standard descriptor would be handed to the report file, and the
    // console text would land in it.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDWR);
    r.input.fd = 0;
    open_sink(r.console, 1, isatty(1) == 1);
    r.input.flush_before_wait = &r.console;
    open_sink(r.errors, 2, true);
    r.console.failures_to = &r.errors;
    r.input.failures_to = &r.errors;
}

bool open_report_file(run_streams& r) {
    put_text(r.console, text::filename_prompt);
    if (!read_file_name(r))
        return false;
    // Opening a FIFO waits for its reader: what the console holds shows first.
    flush_sink(r.console);
    if (!create_report_file(r))
        return false;
    put_text(r.console, text::file_created);
    return true;
}

run_end run_dialogue(run_streams& r) {
    put_text(r.console, text::title);
    put_text(r.console, text::credit);
    put_text(r.console, text::console_heading);
    if (!open_report_file(r))
        return run_end::stopped;

    put_text(r.report_file, text::title);
    put_text(r.report_file, text::credit);
    put_text(r.report_file, text::file_heading);
    for (std::string_view t : {text::units, text::inertia_unit, text::stiffness_unit})
        put_text(r.console, t);
    for (std::string_view t : {text::units, text::inertia_unit, text::stiffness_unit})
        put_text(r.report_file, t);

    disk_shaft_model model;
    model.disk_count = 3;
    try {
        run_analysis(model, r);
    } catch (const zero_pivot_stop&) {
        report_file_closed(r);
        return run_end::stopped;
    }
    if (!report_file_closed(r))
        return run_end::stopped;
    put_text(r.console, text::output_file_heading);
    put_text(r.console, output_file_line(shown_name(r, r.console.fd)));
    return run_end::completed;
}
