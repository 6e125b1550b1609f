// Runs the tool on a pseudo-terminal as its controlling terminal and plays the
// person at the keyboard: answer each prompt once it shows, then press a key.

#include "tool_run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <ostream>
#include <poll.h>
#include <pty.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

using tool_run::patience;
using tool_run::temp_folder;

// How the tool sits on its terminal.
enum class job {
    session_leader, // started on the terminal directly, as a login would
    foreground,     // in its own process group, given the terminal, as a shell's job
    background,     // in its own process group, not given the terminal: "tool &"
};

struct terminal_setup {
    job place = job::session_leader;
    const char* input = nullptr; // set: standard input is a file with these bytes
    bool output_to_file = false; // standard output goes to "out.txt" in the folder
};

// The tool on a pseudo-terminal. The test keeps the terminal side open too,
// to look at its settings and at what is left in its input. As a job, the tool
// runs under a small parent that holds the session, so that its process group
// is not orphaned and job control stops work as they do under a shell.
class terminal_run {
  public:
    explicit terminal_run(terminal_setup setup = {}) {
        const std::string cwd = folder_.path().string();
        if (setup.input != nullptr)
            tool_run::write_file(folder_.path() / "in.txt", setup.input);
        int pid_pipe[2] = {-1, -1};
        if (pipe2(pid_pipe, O_CLOEXEC) != 0)
            return;
        const tool_run::tool_command tool;
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            // Tests that end the tool by a fault signal leave no core behind.
            const rlimit no_core{0, 0};
            if (chdir(cwd.c_str()) != 0 || setrlimit(RLIMIT_CORE, &no_core) != 0)
                _exit(127);
            if (setup.place != job::session_leader)
                become_job(setup.place, pid_pipe[1]);
            if (setup.input != nullptr && !redirect(0, "in.txt", O_RDONLY))
                _exit(127);
            if (setup.output_to_file && !redirect(1, "out.txt", O_WRONLY | O_CREAT | O_TRUNC))
                _exit(127);
            tool.exec();
        }
        close(pid_pipe[1]);
        tool_pid_ = pid_;
        if (pid_ > 0 && setup.place != job::session_leader &&
            read(pid_pipe[0], &tool_pid_, sizeof tool_pid_) != sizeof tool_pid_)
            tool_pid_ = -1;
        close(pid_pipe[0]);
        if (pid_ > 0)
            terminal_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~terminal_run() {
        if (tool_pid_ > 0 && tool_pid_ != pid_ && !ended_)
            kill(tool_pid_, SIGKILL);
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            tool_run::wait_for_exit(pid_);
        }
        if (terminal_ >= 0)
            close(terminal_);
        if (master_ >= 0)
            close(master_);
    }
    terminal_run(const terminal_run&) = delete;
    terminal_run& operator=(const terminal_run&) = delete;

    bool started() const { return pid_ > 0 && tool_pid_ > 0 && terminal_ >= 0; }
    // The process that ends when the tool ends, with the tool's status.
    pid_t pid() const { return pid_; }
    // The tool itself, for signals.
    pid_t tool_pid() const { return tool_pid_; }
    const std::filesystem::path& folder() const { return folder_.path(); }
    int terminal() const { return terminal_; }

    // Reads the screen until `text` shows after what was already seen.
    testing::AssertionResult wait_for_text(std::string_view text) {
        auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            if (tool_run::take_match(screen_, seen_, text))
                return testing::AssertionSuccess();
            int left = tool_run::milliseconds_left(deadline);
            pollfd p{master_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                return testing::AssertionFailure()
                       << "\"" << text << "\" did not show; the screen after the last match: \""
                       << screen_.substr(seen_) << "\"";
            char bytes[4096];
            ssize_t got = read(master_, bytes, sizeof bytes);
            if (got <= 0)
                return testing::AssertionFailure()
                       << "the terminal closed before \"" << text << "\" showed";
            screen_.append(bytes, static_cast<std::size_t>(got));
        }
    }

    // What showed after the last match, up to `marker` written from the
    // terminal side now: anything the tool wrote earlier comes before it.
    std::optional<std::string> screen_until_marker() {
        constexpr std::string_view marker = "<end of screen>";
        std::size_t from = seen_;
        if (write(terminal_, marker.data(), marker.size()) != static_cast<ssize_t>(marker.size()))
            return std::nullopt;
        if (!wait_for_text(marker))
            return std::nullopt;
        return screen_.substr(from, seen_ - marker.size() - from);
    }

    const std::string& screen() const { return screen_; }

    bool type(std::string_view keys) {
        return write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
    }

    std::optional<int> wait_for_end() {
        std::optional<int> status = tool_run::wait_for_exit(pid_);
        ended_ = true;
        return status;
    }

  private:
    // In the child of forkpty: forks the tool into its own process group and
    // stays as its parent, ending with the tool's status.
    [[noreturn]] static void wait_for_tool(pid_t tool) {
        int status = 0;
        while (waitpid(tool, &status, 0) < 0)
            if (errno != EINTR)
                _exit(127);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }

    static void become_job(job place, int pid_out) {
        pid_t tool = fork();
        if (tool < 0)
            _exit(127);
        if (tool > 0) {
            if (write(pid_out, &tool, sizeof tool) != sizeof tool)
                _exit(127);
            wait_for_tool(tool);
        }
        if (setpgid(0, 0) != 0)
            _exit(127);
        if (place == job::foreground) {
            // As a shell gives a job the terminal; from the background that
            // would stop the caller without SIGTTOU ignored.
            signal(SIGTTOU, SIG_IGN);
            if (tcsetpgrp(0, getpgrp()) != 0)
                _exit(127);
            signal(SIGTTOU, SIG_DFL);
        }
    }

    static bool redirect(int fd, const char* path, int flags) {
        int opened = open(path, flags | O_CLOEXEC, 0600);
        return opened >= 0 && dup2(opened, fd) == fd;
    }

    temp_folder folder_;
    pid_t pid_ = -1;
    pid_t tool_pid_ = -1;
    int master_ = -1;
    int terminal_ = -1;
    bool ended_ = false;
    std::string screen_;
    std::size_t seen_ = 0;
};

std::optional<termios> settings_of(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return std::nullopt;
    return t;
}

testing::AssertionResult same_settings(const termios& before, const termios& after) {
    if (before.c_lflag != after.c_lflag)
        return testing::AssertionFailure()
               << "c_lflag " << std::hex << before.c_lflag << " became " << after.c_lflag;
    if (before.c_iflag != after.c_iflag)
        return testing::AssertionFailure()
               << "c_iflag " << std::hex << before.c_iflag << " became " << after.c_iflag;
    if (before.c_oflag != after.c_oflag)
        return testing::AssertionFailure()
               << "c_oflag " << std::hex << before.c_oflag << " became " << after.c_oflag;
    for (std::size_t i = 0; i < NCCS; ++i)
        if (before.c_cc[i] != after.c_cc[i])
            return testing::AssertionFailure() << "c_cc[" << i << "] changed";
    return testing::AssertionSuccess();
}

// Bytes still waiting in the terminal's input after the tool ended.
std::optional<std::string> input_left(int terminal) {
    termios raw{};
    if (tcgetattr(terminal, &raw) != 0)
        return std::nullopt;
    // Out of line mode a partly typed line becomes readable too.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(terminal, TCSANOW, &raw) != 0)
        return std::nullopt;
    std::string left;
    char bytes[256];
    ssize_t got = 0;
    while ((got = read(terminal, bytes, sizeof bytes)) > 0)
        left.append(bytes, static_cast<std::size_t>(got));
    return left;
}

// Gives the tool a moment to switch the terminal for the key read.
std::optional<termios> settings_once_echo_off(int terminal) {
    auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        std::optional<termios> now = settings_of(terminal);
        if (!now || (now->c_lflag & ECHO) == 0)
            return now;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        poll(nullptr, 0, 5);
    }
}

// Starts the tool, answers the file name and the five values each after its
// prompt, and stops at the key prompt. Gives the settings from before the wait.
void run_to_key_prompt(terminal_run& run, termios& before) {
    ASSERT_TRUE(run.started());
    std::optional<termios> initial = settings_of(run.terminal());
    ASSERT_TRUE(initial);
    // Settings a restore to fixed defaults would lose.
    initial->c_cc[VERASE] = 0x08;
    initial->c_iflag &= ~static_cast<tcflag_t>(IXON);
    ASSERT_EQ(tcsetattr(run.terminal(), TCSANOW, &*initial), 0);
    std::optional<termios> applied = settings_of(run.terminal());
    ASSERT_TRUE(applied);
    before = *applied;

    const std::pair<const char*, const char*> dialogue[] = {
        {"Enter output filename", "report.txt\r"}, {"Enter inertia of disk  1", "2\r"},
        {"Enter stiffness of shaft 1", "1000\r"},  {"Enter inertia of disk  2", "4\r"},
        {"Enter stiffness of shaft 2", "3000\r"},  {"Enter inertia of disk  3", "1\r"},
    };
    for (const auto& [prompt, answer] : dialogue) {
        ASSERT_TRUE(run.wait_for_text(prompt));
        ASSERT_TRUE(run.type(answer));
    }
    ASSERT_TRUE(run.wait_for_text(" f3 =        9.825 Hz"));
    ASSERT_TRUE(run.wait_for_text("   report.txt "));
    ASSERT_TRUE(run.wait_for_text("Press any key to exit."));

    std::optional<termios> waiting = settings_once_echo_off(run.terminal());
    ASSERT_TRUE(waiting) << "echo still on at the key prompt";
    EXPECT_EQ(waiting->c_lflag & ICANON, 0u) << "line mode still on at the key prompt";
    int status = 0;
    EXPECT_EQ(waitpid(run.pid(), &status, WNOHANG), 0) << "the tool ended without a key";
}

// The tool ended with status 1 and left the terminal as it found it.
void expect_ended_and_restored(terminal_run& run, const termios& before) {
    EXPECT_TRUE(tool_run::exited_with(run.wait_for_end(), 1));
    std::optional<termios> after = settings_of(run.terminal());
    ASSERT_TRUE(after);
    EXPECT_TRUE(same_settings(before, *after));
}

struct key_case {
    const char* name;
    std::string bytes;
};

void PrintTo(const key_case& c, std::ostream* os) {
    *os << c.name;
}

class KeyWait : public testing::TestWithParam<key_case> {};

TEST_P(KeyWait, OneKeyEndsTheRunAndRestoresTheTerminal) {
    terminal_run run;
    termios before{};
    ASSERT_NO_FATAL_FAILURE(run_to_key_prompt(run, before));

    ASSERT_TRUE(run.type(GetParam().bytes));

    expect_ended_and_restored(run, before);
    // Nothing after the key prompt but its own line break: no echo of the key.
    std::optional<std::string> shown = run.screen_until_marker();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->find_first_not_of("\r\n"), std::string::npos) << "shown: \"" << *shown << "\"";
    // The whole key was taken, none of its bytes left for the next program.
    EXPECT_EQ(input_left(run.terminal()), std::optional<std::string>(""));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyWait,
    testing::Values(key_case{"Letter", "x"}, key_case{"Enter", "\r"}, key_case{"CtrlC", "\x03"},
                    key_case{"ArrowUp", "\x1b[A"}, key_case{"FunctionKeyF5", "\x1b[15~"},
                    key_case{"FunctionKeyF1", "\x1bOP"}, key_case{"AccentedLetter", "\xc3\xa9"}),
    [](const testing::TestParamInfo<key_case>& info) { return std::string(info.param.name); });

struct signal_case {
    const char* name;
    int number;
};

void PrintTo(const signal_case& c, std::ostream* os) {
    *os << c.name;
}

class KeyWaitSignal : public testing::TestWithParam<signal_case> {};

// Each of these would end the tool with the terminal still without echo.
TEST_P(KeyWaitSignal, EndsTheToolAndRestoresTheTerminal) {
    terminal_run run;
    termios before{};
    ASSERT_NO_FATAL_FAILURE(run_to_key_prompt(run, before));

    ASSERT_EQ(kill(run.tool_pid(), GetParam().number), 0);

    expect_ended_and_restored(run, before);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, KeyWaitSignal,
    testing::Values(signal_case{"Terminate", SIGTERM}, signal_case{"Hangup", SIGHUP},
                    signal_case{"Interrupt", SIGINT}, signal_case{"Quit", SIGQUIT},
                    signal_case{"User1", SIGUSR1}, signal_case{"User2", SIGUSR2},
                    signal_case{"Alarm", SIGALRM}, signal_case{"VirtualAlarm", SIGVTALRM},
                    signal_case{"Profiling", SIGPROF}, signal_case{"CpuLimit", SIGXCPU},
                    signal_case{"FirstRealTime", SIGRTMIN},
                    signal_case{"RealTimeBetween", SIGRTMIN + 5},
                    signal_case{"LastRealTime", SIGRTMAX},
                    signal_case{"InputOutputPossible", SIGIO}, signal_case{"PowerFailure", SIGPWR},
                    signal_case{"StackFault", SIGSTKFLT}),
    [](const testing::TestParamInfo<signal_case>& info) { return std::string(info.param.name); });

class KeyWaitFaultSignal : public testing::TestWithParam<signal_case> {};

// A fault in the process ends it by that same signal, as without the wait,
// once the terminal is back.
TEST_P(KeyWaitFaultSignal, EndsTheToolByTheSameSignalAndRestoresTheTerminal) {
    terminal_run run;
    termios before{};
    ASSERT_NO_FATAL_FAILURE(run_to_key_prompt(run, before));
    const int sig = GetParam().number;

    ASSERT_EQ(kill(run.tool_pid(), sig), 0);

    std::optional<int> status = run.wait_for_end();
    ASSERT_TRUE(status) << "the tool did not end";
    EXPECT_TRUE(WIFSIGNALED(*status)) << "wait status " << *status;
    if (WIFSIGNALED(*status)) {
        EXPECT_EQ(WTERMSIG(*status), sig);
    }
    std::optional<termios> after = settings_of(run.terminal());
    ASSERT_TRUE(after);
    EXPECT_TRUE(same_settings(before, *after));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, KeyWaitFaultSignal,
    testing::Values(signal_case{"Abort", SIGABRT}, signal_case{"SegmentationFault", SIGSEGV},
                    signal_case{"BusError", SIGBUS}, signal_case{"ArithmeticFault", SIGFPE},
                    signal_case{"IllegalInstruction", SIGILL}, signal_case{"Trap", SIGTRAP},
                    signal_case{"BadSystemCall", SIGSYS}),
    [](const testing::TestParamInfo<signal_case>& info) { return std::string(info.param.name); });

// The process state letter from /proc (T: stopped), once it is `state`.
testing::AssertionResult reaches_state(pid_t pid, char state) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    auto deadline = std::chrono::steady_clock::now() + patience;
    std::string stat;
    for (;;) {
        stat = tool_run::read_file(path).value_or("");
        std::size_t end_of_name = stat.rfind(')');
        if (end_of_name != std::string::npos && end_of_name + 2 < stat.size() &&
            stat[end_of_name + 2] == state)
            return testing::AssertionSuccess();
        if (std::chrono::steady_clock::now() >= deadline)
            return testing::AssertionFailure() << "state never " << state << ": " << stat;
        poll(nullptr, 0, 5);
    }
}

// Ctrl-Z (SIGTSTP) the tool catches: it gives the terminal back as it was
// and stops. SIGSTOP cannot be caught: the shell then takes the terminal back
// in line mode itself. Either way, on fg the wait must switch to its key
// settings again.
struct stop_case {
    const char* name;
    int sig;
};

class KeyWaitJobControl : public testing::TestWithParam<stop_case> {};

TEST_P(KeyWaitJobControl, ContinueAfterAStopWaitsForTheKeyAgain) {
    terminal_run run({job::foreground});
    termios before{};
    ASSERT_NO_FATAL_FAILURE(run_to_key_prompt(run, before));

    ASSERT_EQ(kill(run.tool_pid(), GetParam().sig), 0);
    ASSERT_TRUE(reaches_state(run.tool_pid(), 'T'));
    if (GetParam().sig == SIGTSTP) {
        std::optional<termios> stopped = settings_of(run.terminal());
        ASSERT_TRUE(stopped);
        EXPECT_TRUE(same_settings(before, *stopped)) << "stopped with the key settings";
    } else {
        ASSERT_EQ(tcsetattr(run.terminal(), TCSANOW, &before), 0);
    }

    ASSERT_EQ(kill(run.tool_pid(), SIGCONT), 0);
    std::optional<termios> waiting = settings_once_echo_off(run.terminal());
    ASSERT_TRUE(waiting) << "echo still on after the tool went on";
    EXPECT_EQ(waiting->c_lflag & ICANON, 0u) << "line mode still on after the tool went on";
    int status = 0;
    EXPECT_EQ(waitpid(run.pid(), &status, WNOHANG), 0) << "the tool ended without a key";

    ASSERT_TRUE(run.type("x"));
    expect_ended_and_restored(run, before);
    EXPECT_EQ(input_left(run.terminal()), std::optional<std::string>(""));
}

INSTANTIATE_TEST_SUITE_P(Stops, KeyWaitJobControl,
                         testing::Values(stop_case{"TerminalStop", SIGTSTP},
                                         stop_case{"StopSignal", SIGSTOP}),
                         [](const testing::TestParamInfo<stop_case>& info) {
                             return std::string(info.param.name);
                         });

// Without the terminal, or without the console on it, nobody sees the key
// prompt: the tool ends at once instead of stopping or seeming to hang.
TEST(KeyWaitWithoutConsole, BackgroundJobEndsAtOnce) {
    terminal_run run({job::background, "report.txt 2 1000 4 3000 1\n"});
    ASSERT_TRUE(run.started());
    std::optional<termios> before = settings_of(run.terminal());
    ASSERT_TRUE(before);

    ASSERT_TRUE(run.wait_for_text("Press any key to exit."));
    expect_ended_and_restored(run, *before);
}

TEST(KeyWaitWithoutConsole, OutputToAFileEndsAtOnce) {
    terminal_run run({job::session_leader, nullptr, true});
    ASSERT_TRUE(run.started());

    ASSERT_TRUE(run.type("report.txt 2 1000 4 3000 1\r"));

    EXPECT_TRUE(tool_run::exited_with(run.wait_for_end(), 1));
    EXPECT_EQ(tool_run::read_file(run.folder() / "out.txt"), tool_run::golden("typical_run.out"));
}

// A name from an input file that would retitle the terminal (ESC ] 0 ; t BEL),
// with a DEL and a UTF-8 letter that stay as they are.
const std::string retitling_name = "a\x1b]0;t\x07\x7f\xc3\xa9";
const std::string retitling_name_shown = "a^[]0;t^G^?\xc3\xa9";

struct shown_name_case {
    const char* name;
    std::string input;
    std::string shown; // on the screen, without its line breaks
    bool key_wait;
};

void PrintTo(const shown_name_case& c, std::ostream* os) {
    *os << c.name;
}

class ShownName : public testing::TestWithParam<shown_name_case> {};

TEST_P(ShownName, ControlBytesShowInCaretNotation) {
    const shown_name_case& c = GetParam();
    terminal_run run({job::session_leader, c.input.c_str()});
    ASSERT_TRUE(run.started());

    ASSERT_TRUE(run.wait_for_text(c.shown));
    if (c.key_wait) {
        ASSERT_TRUE(run.wait_for_text("Press any key to exit."));
        ASSERT_TRUE(settings_once_echo_off(run.terminal()));
        ASSERT_TRUE(run.type("x"));
    }
    EXPECT_TRUE(tool_run::exited_with(run.wait_for_end(), 1));
    EXPECT_EQ(run.screen().find('\x1b'), std::string::npos) << "a raw escape reached the screen";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownName,
    testing::Values(shown_name_case{"OutputFileLine", retitling_name + " 2 1000 4 3000 1\n",
                                    "   " + retitling_name_shown + " \r", true},
                    shown_name_case{"CannotCreateMessage", "missing/" + retitling_name + "\n",
                                    " Cannot create output file missing/" + retitling_name_shown +
                                        ": No such file or directory ",
                                    false}),
    [](const testing::TestParamInfo<shown_name_case>& info) {
        return std::string(info.param.name);
    });

} // namespace
