// Runs the whole dialogue with the fuzz bytes as standard input. The report
// file goes to an anonymous memory file, never to the typed name; the console
// and error output go to /dev/null. Checks that the report file holds only
// report text with CR LF line breaks.
#include "fuzz_support.h"
#include "main/run_flow.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct fixture {
    int input = memfd_create("dialogue_input", MFD_CLOEXEC);
    int report_file = memfd_create("dialogue_report", MFD_CLOEXEC);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::string report_path = "/proc/self/fd/" + std::to_string(report_file);
};

const fixture& setup() {
    static const fixture f;
    check(f.input >= 0 && f.report_file >= 0 && f.null >= 0);
    return f;
}

std::string contents(int fd) {
    struct stat st {};
    check(fstat(fd, &st) == 0);
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        check(got > 0);
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fixture& f = setup();
    load(f.input, data, size);
    // Whatever an earlier run left must not pass for this run's report.
    check(ftruncate(f.report_file, 0) == 0);

    static run_streams r;
    r = run_streams{};
    r.input.fd = f.input;
    open_sink(r.console, f.null, false);
    open_sink(r.errors, f.null, true);
    r.create_path = f.report_path.c_str();

    run_dialogue(r);
    flush_sink(r.console);
    // The dialogue closes the report file itself.
    check(r.report_file.fd < 0);

    // The report never holds the typed name or other input bytes: only
    // printable text, and every line feed follows a carriage return.
    const std::string file = contents(f.report_file);
    if (file.empty())
        return 0; // no file name, or one refused
    check(file.starts_with("\r\n\r\n\r\n quelmar  ver 1.0 \r\n"));
    for (std::size_t i = 0; i < file.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(file[i]);
        if (c == '\n')
            check(i > 0 && file[i - 1] == '\r');
        else if (c == '\r')
            check(i + 1 < file.size() && file[i + 1] == '\n');
        else
            check(c >= 0x20 && c < 0x7f);
    }
    return 0;
}
