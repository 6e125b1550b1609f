#include "main/key_wait.h"
#include "main/run_flow.h"
#include "report/texts.h"

#include <cstdlib>

namespace {

// Ends the process with status 1, the only status the tool has.
[[noreturn]] void finish(report& r) {
    flush_sink(r.console);
    flush_sink(r.file);
    std::_Exit(1);
}

[[noreturn]] void wait_key_and_exit(report& r) {
    put_text(r.console, text::key_prompt);
    flush_sink(r.console);
    wait_for_key();
    finish(r);
}

} // namespace

int main() {
    static report r;
    open_standard_report(r);
    if (run_dialogue(r) == run_end::completed)
        wait_key_and_exit(r);
    finish(r);
}
