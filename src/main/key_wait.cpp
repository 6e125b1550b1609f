#include "main/key_wait.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What a signal handler needs to put the terminal back.
volatile sig_atomic_t terminal_fd = -1;
termios saved_settings;

void restore_and_exit(int) {
    if (terminal_fd >= 0)
        tcsetattr(terminal_fd, TCSANOW, &saved_settings);
    _exit(1);
}

// Reads one byte, waiting at most timeout_ms (-1: no limit). False on none.
bool read_byte(int fd, unsigned char& byte, int timeout_ms) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, timeout_ms);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        ssize_t got = read(fd, &byte, 1);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return got == 1;
    }
}

// The rest of a key that sends several bytes: an escape sequence (arrows,
// function keys) or a UTF-8 character. Its bytes arrive together, so a short
// wait is enough and nothing typed later is taken.
void take_rest_of_key(int fd, unsigned char first) {
    constexpr int within_ms = 50;
    unsigned char byte = 0;
    if (first == 0x1b) {
        if (!read_byte(fd, byte, within_ms))
            return; // Escape alone
        if (byte == '[') {
            // CSI: parameter and intermediate bytes, then one final byte.
            while (read_byte(fd, byte, within_ms) && (byte < 0x40 || byte > 0x7e)) {
            }
        } else if (byte == 'O') {
            read_byte(fd, byte, within_ms); // SS3: one more byte
        }
        return;
    }
    int continuation = first >= 0xf0 ? 3 : first >= 0xe0 ? 2 : first >= 0xc0 ? 1 : 0;
    for (int i = 0; i < continuation; ++i)
        if (!read_byte(fd, byte, within_ms))
            return;
}

} // namespace

void wait_for_key() {
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    termios settings;
    if (tcgetattr(fd, &settings) != 0) {
        close(fd);
        return;
    }
    saved_settings = settings;
    terminal_fd = fd;

    struct sigaction action {};
    action.sa_handler = restore_and_exit;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT})
        sigaction(sig, &action, nullptr);

    // Echo, line mode and signal keys off, so Ctrl-C is a key like any other.
    // TCSANOW: what was typed ahead is neither thrown away nor counted twice.
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &settings) == 0) {
        unsigned char key = 0;
        if (read_byte(fd, key, -1))
            take_rest_of_key(fd, key);
        tcsetattr(fd, TCSANOW, &saved_settings);
    }
    terminal_fd = -1;
    close(fd);
}
