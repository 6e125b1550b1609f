#pragma once

// Writes nothing; waits for one key press on the controlling terminal, read
// with echo and line mode off, and restores the terminal. Returns at once
// when there is no controlling terminal.
void wait_for_key();
