#include "main/key_wait.h"
#include "main/run_flow.h"
#include "report/texts.h"

#include <csignal>
#include <cstdlib>

namespace {

// A pipe without a reader or a file-size limit would otherwise end the tool
// before it can say which write failed; ignored, the write fails with EPIPE or
// EFBIG and takes the tool's own error path.
void ignore_write_signals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

// Ends the process with status 1, the only status the tool has.
[[noreturn]] void finish(run_streams& r) {
    flush_sink(r.console);
    flush_sink(r.report_file);
    std::_Exit(1);
}

[[noreturn]] void wait_key_and_exit(run_streams& r) {
    put_text(r.console, text::key_prompt);
    flush_sink(r.console);
    wait_for_key(r.console.fd);
    finish(r);
}

} // namespace

int main(int argc, char**) {
    ignore_write_signals();
    static run_streams r;
    open_standard_streams(r);
    if (argc > 1)
        put_error(r, arguments_ignored_note());
    if (run_dialogue(r) == run_end::completed)
        wait_key_and_exit(r);
    finish(r);
}
