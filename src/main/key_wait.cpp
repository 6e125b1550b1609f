#include "main/key_wait.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
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

// A fault in the process itself ends it by the same signal, as it would
// without the wait, once the terminal is back.
void restore_and_raise(int sig) {
    leave_key_mode();
    signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    raise(sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    _exit(1); // not reached: the default action ends the process
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

bool same_settings(const termios& a, const termios& b) {
    if (a.c_iflag != b.c_iflag || a.c_oflag != b.c_oflag || a.c_cflag != b.c_cflag ||
        a.c_lflag != b.c_lflag)
        return false;
    for (std::size_t i = 0; i < NCCS; ++i)
        if (a.c_cc[i] != b.c_cc[i])
            return false;
    return true;
}

// After any stop, SIGSTOP included, which cannot be caught: the shell may have
// put the terminal back in line mode, or reset it, while the tool was stopped.
void key_mode_back(int) {
    int saved_errno = errno;
    int fd = terminal_fd;
    termios now;
    if (waiting && in_key_mode && fd >= 0 && tcgetattr(fd, &now) == 0 &&
        !same_settings(now, key_settings))
        in_key_mode = 0;
    enter_key_mode();
    errno = saved_errno;
}

// What the wait does on a signal.
enum class signal_role {
    left_alone, // does not end the process, cannot be caught, or ignored on purpose
    end,        // terminal back, status 1
    fault,      // terminal back, then the signal's own default action
    stop,
    go_on,
};

// Every signal whose default action ends the process is handled, except
// SIGKILL and the two the tool ignores (SIGPIPE, SIGXFSZ).
signal_role role_of(int sig) {
    switch (sig) {
    case SIGKILL:
    case SIGSTOP:
    case SIGPIPE:
    case SIGXFSZ:
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH:
    case SIGTTIN:
    case SIGTTOU:
        return signal_role::left_alone;
    case SIGTSTP:
        return signal_role::stop;
    case SIGCONT:
        return signal_role::go_on;
    case SIGABRT:
    case SIGSEGV:
    case SIGBUS:
    case SIGFPE:
    case SIGILL:
    case SIGTRAP:
    case SIGSYS:
        return signal_role::fault;
    default:
        return signal_role::end;
    }
}

// Every signal number; the few the C library keeps for itself refuse a
// handler and stay as they are.
template <class Each> void for_each_signal(Each each) {
    for (int sig = 1; sig <= SIGRTMAX; ++sig)
        each(sig);
}

void (*handler_for(signal_role role))(int) {
    switch (role) {
    case signal_role::stop:
        return restore_and_stop;
    case signal_role::go_on:
        return key_mode_back;
    case signal_role::fault:
        return restore_and_raise;
    default:
        return restore_and_exit;
    }
}

// Blocked in the handlers and while the wait changes its state. SIGTTOU too:
// the terminal is put back even from the background.
sigset_t handled_signals() {
    sigset_t set;
    sigemptyset(&set);
    for_each_signal([&](int sig) {
        if (role_of(sig) != signal_role::left_alone)
            sigaddset(&set, sig);
    });
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
    // end the process, with status 1 or by the fault's own signal.
    for_each_signal([&](int sig) {
        signal_role role = role_of(sig);
        if (role == signal_role::left_alone)
            return;
        struct sigaction action {};
        action.sa_handler = handler_for(role);
        action.sa_mask = handled;
        sigaction(sig, &action, nullptr);
    });
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
