#include "main/key_wait.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What the signal handlers need, set before any of them is installed. Outside
// the handlers these change only with the handled signals blocked.
volatile sig_atomic_t terminal_fd = -1;
volatile sig_atomic_t waiting = 0;     // the key wait is on: key mode wanted
volatile sig_atomic_t in_key_mode = 0; // the terminal has the key settings now
termios saved_settings;
termios key_settings;

// A background process must not change the terminal's mode or read from it.
bool in_foreground(int fd) {
    return tcgetpgrp(fd) == getpgrp();
}

void enter_key_mode() {
    int fd = terminal_fd;
    if (waiting && !in_key_mode && fd >= 0 && in_foreground(fd) &&
        tcsetattr(fd, TCSANOW, &key_settings) == 0)
        in_key_mode = 1;
}

// Called with SIGTTOU blocked, so that a tool moved to the background can
// still put back what it changed.
void leave_key_mode() {
    int fd = terminal_fd;
    if (in_key_mode && fd >= 0)
        tcsetattr(fd, TCSANOW, &saved_settings);
    in_key_mode = 0;
}

void restore_and_exit(int) {
    leave_key_mode();
    _exit(1);
}

// Job control stop: the shell gets its terminal back as it was, and the key
// mode returns when the tool goes on in the foreground.
void restore_and_stop(int) {
    int saved_errno = errno;
    leave_key_mode();
    struct sigaction stop {};
    struct sigaction handler {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, &handler);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    raise(SIGTSTP); // returns after SIGCONT; at once in an orphaned process group
    sigprocmask(SIG_BLOCK, &tstp, nullptr);
    sigaction(SIGTSTP, &handler, nullptr);
    enter_key_mode();
    errno = saved_errno;
}

// Also after SIGSTOP, which cannot be caught, and a shell that reset the terminal.
void key_mode_back(int) {
    int saved_errno = errno;
    enter_key_mode();
    errno = saved_errno;
}

// The signals the wait handles. The first ten end the process by default and
// would leave the terminal without echo or line mode.
constexpr std::array wait_signals = {SIGTERM, SIGHUP,    SIGINT,  SIGQUIT, SIGUSR1, SIGUSR2,
                                     SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGTSTP, SIGCONT};

void (*handler_for(int sig))(int) {
    if (sig == SIGTSTP)
        return restore_and_stop;
    if (sig == SIGCONT)
        return key_mode_back;
    return restore_and_exit;
}

// Blocked in the handlers and while the wait changes its state. SIGTTOU too:
// the terminal is put back even from the background.
sigset_t handled_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : wait_signals)
        sigaddset(&set, sig);
    sigaddset(&set, SIGTTOU);
    return set;
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

void wait_for_key(int console_fd) {
    // Without the console on screen the key prompt went elsewhere, and a wait
    // would look like a hang.
    if (isatty(console_fd) != 1)
        return;
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    termios settings;
    if (tcgetattr(fd, &settings) != 0 || !in_foreground(fd)) {
        close(fd);
        return;
    }
    saved_settings = settings;
    // Echo, line mode and signal keys off, so Ctrl-C is a key like any other.
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    key_settings = settings;
    terminal_fd = fd;

    const sigset_t handled = handled_signals();
    sigset_t old_mask;
    sigprocmask(SIG_BLOCK, &handled, &old_mask);
    // The handlers stay after the wait: with the terminal put back they only
    // end the process, still with status 1.
    for (int sig : wait_signals) {
        struct sigaction action {};
        action.sa_handler = handler_for(sig);
        action.sa_mask = handled;
        sigaction(sig, &action, nullptr);
    }
    // TCSANOW: what was typed ahead is neither thrown away nor counted twice.
    waiting = 1;
    enter_key_mode();

    // Ends on a key, or when the tool goes on in the background. The signals
    // come only inside ppoll, so none is missed between the test and the wait.
    while (in_key_mode && in_foreground(fd)) {
        pollfd p{fd, POLLIN, 0};
        int ready = ppoll(&p, 1, nullptr, &old_mask);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        unsigned char key = 0;
        ssize_t got = read(fd, &key, 1);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got == 1)
            take_rest_of_key(fd, key);
        break;
    }

    waiting = 0;
    leave_key_mode();
    terminal_fd = -1;
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    close(fd);
}
