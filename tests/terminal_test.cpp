// Runs the tool on a pseudo-terminal as its controlling terminal and plays the
// person at the keyboard: answer each prompt once it shows, then press a key.

#include "tool_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <poll.h>
#include <pty.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

using tool_run::patience;
using tool_run::temp_folder;

// The tool on a pseudo-terminal. The test keeps the terminal side open too,
// to look at its settings and at what is left in its input.
class terminal_run {
  public:
    terminal_run() {
        const std::string cwd = folder_.path().string();
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            if (chdir(cwd.c_str()) != 0)
                _exit(127);
            char* argv[] = {const_cast<char*>(QUELMAR_BINARY), nullptr};
            execv(QUELMAR_BINARY, argv);
            _exit(127);
        }
        if (pid_ > 0)
            terminal_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~terminal_run() {
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

    bool started() const { return pid_ > 0 && terminal_ >= 0; }
    pid_t pid() const { return pid_; }
    int terminal() const { return terminal_; }

    // Reads the screen until `text` shows after what was already seen.
    testing::AssertionResult wait_for_text(std::string_view text) {
        auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            std::size_t at = screen_.find(text, seen_);
            if (at != std::string::npos) {
                seen_ = at + text.size();
                return testing::AssertionSuccess();
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{master_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
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

    bool type(std::string_view keys) {
        return write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
    }

    std::optional<int> wait_for_end() {
        std::optional<int> status = tool_run::wait_for_exit(pid_);
        ended_ = true;
        return status;
    }

  private:
    temp_folder folder_;
    pid_t pid_ = -1;
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

    EXPECT_TRUE(tool_run::exited_with(run.wait_for_end(), 1));
    std::optional<termios> after = settings_of(run.terminal());
    ASSERT_TRUE(after);
    EXPECT_TRUE(same_settings(before, *after));
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

TEST(KeyWaitSignal, TerminateDuringTheWaitRestoresTheTerminal) {
    terminal_run run;
    termios before{};
    ASSERT_NO_FATAL_FAILURE(run_to_key_prompt(run, before));

    ASSERT_EQ(kill(run.pid(), SIGTERM), 0);

    EXPECT_TRUE(run.wait_for_end().has_value()) << "the tool did not end";
    std::optional<termios> after = settings_of(run.terminal());
    ASSERT_TRUE(after);
    EXPECT_TRUE(same_settings(before, *after));
}

} // namespace
