#pragma once

// Writes nothing; waits for one key press on the controlling terminal, read
// with echo and line mode off, and restores the terminal, also on a signal
// that ends or stops the tool. Returns at once when console_fd is not a
// terminal, when there is no controlling terminal, or when the tool is not in
// its foreground process group (a background job).
void wait_for_key(int console_fd);
