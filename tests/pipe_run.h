#pragma once

// The built tool driven over pipes, as a script or another program drives it:
// no terminal anywhere, and the test writes the input when it likes.

#include "tool_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tool_run {

class piped_tool {
  public:
    piped_tool(const std::filesystem::path& folder, error_stream errors) {
        int in[2] = {-1, -1};
        int out[2] = {-1, -1};
        int err[2] = {-1, -1};
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return;
        int to_err = errors == error_stream::merged ? out[1] : err[1];
        pid_ = start_tool(folder, {in[0], out[1], to_err});
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input_ = in[1];
        output_ = out[0];
        errors_ = err[0];
    }
    ~piped_tool() {
        close_input();
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            wait_for_exit(pid_);
        }
        for (int fd : {output_, errors_})
            if (fd >= 0)
                close(fd);
    }
    piped_tool(const piped_tool&) = delete;
    piped_tool& operator=(const piped_tool&) = delete;

    bool started() const { return pid_ > 0 && input_ >= 0; }

    // False when the tool has stopped reading; the test process is not
    // killed for it, and tools started later keep the default signal action.
    bool type(std::string_view text) {
        struct sigaction ignore {};
        struct sigaction before {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &before);
        bool written = write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        sigaction(SIGPIPE, &before, nullptr);
        return written;
    }
    void close_input() {
        if (input_ >= 0)
            close(input_);
        input_ = -1;
    }

    // Reads until `text` has come on standard output after the last match.
    testing::AssertionResult wait_for_text(std::string_view text) {
        auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            if (take_match(out_, seen_, text))
                return testing::AssertionSuccess();
            if (!read_some(deadline))
                return testing::AssertionFailure()
                       << "\"" << text << "\" did not come; after the last match came \""
                       << out_.substr(seen_) << "\"";
        }
    }

    // Everything the tool wrote after the last match, up to now.
    std::string unmatched() const { return out_.substr(seen_); }

    // Reads both streams to their end and waits for the tool to end.
    std::optional<int> wait_for_end() {
        auto deadline = std::chrono::steady_clock::now() + patience;
        while (read_some(deadline)) {
        }
        ended_ = true;
        return wait_for_exit(pid_);
    }

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
    // False once both streams have ended or the deadline has passed.
    bool read_some(std::chrono::steady_clock::time_point deadline) {
        pollfd p[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
        if (output_ < 0 && errors_ < 0)
            return false;
        int left = milliseconds_left(deadline);
        if (left <= 0 || poll(p, 2, left) <= 0)
            return false;
        drain(p[0], output_, out_);
        drain(p[1], errors_, err_);
        return true;
    }

    static void drain(const pollfd& p, int& fd, std::string& into) {
        if (fd < 0 || p.revents == 0)
            return;
        char bytes[4096];
        ssize_t got = read(fd, bytes, sizeof bytes);
        if (got > 0) {
            into.append(bytes, static_cast<std::size_t>(got));
        } else {
            close(fd);
            fd = -1;
        }
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int errors_ = -1;
    bool ended_ = false;
    std::string out_;
    std::string err_;
    std::size_t seen_ = 0;
};

} // namespace tool_run
