#include "report/run_streams.h"

void put_error(run_streams& r, std::string_view text) {
    flush_sink(r.console);
    put_text(r.errors, text);
}
