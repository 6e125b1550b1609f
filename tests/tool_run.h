#pragma once

// Helpers for tests that run the built tool as a separate process.

#include "read_all.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tool_run {

// A long limit: only a broken tool comes near it, and then the test fails
// instead of hanging.
inline constexpr std::chrono::milliseconds patience{10000};

// The program the tests start: this build's tool, or the build named by
// QUELMAR_TOOL (a cross build), run through the blank-separated words of
// QUELMAR_TOOL_RUNNER (an emulator) when that is set, with `arguments` after
// it. Made before fork, so the child only calls exec.
class tool_command {
  public:
    explicit tool_command(const std::vector<std::string>& arguments = {}) {
        if (const char* runner = std::getenv("QUELMAR_TOOL_RUNNER")) {
            std::string_view rest = runner;
            while (!rest.empty()) {
                std::size_t start = rest.find_first_not_of(" \t");
                if (start == std::string_view::npos)
                    break;
                std::size_t end = rest.find_first_of(" \t", start);
                words_.emplace_back(rest.substr(start, end - start));
                rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
            }
        }
        const char* tool = std::getenv("QUELMAR_TOOL");
        words_.emplace_back(tool != nullptr && *tool != '\0' ? tool : QUELMAR_BINARY);
        words_.insert(words_.end(), arguments.begin(), arguments.end());
        for (std::string& word : words_)
            argv_.push_back(word.data());
        argv_.push_back(nullptr);
    }
    tool_command(const tool_command&) = delete;
    tool_command& operator=(const tool_command&) = delete;

    // In the child: becomes the tool, or ends with status 127.
    [[noreturn]] void exec() const {
        execvp(argv_[0], argv_.data());
        _exit(127);
    }

  private:
    std::vector<std::string> words_;
    std::vector<char*> argv_;
};

// A fresh folder under the temporary folder, removed with its contents.
class temp_folder {
  public:
    temp_folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quelmar-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::filesystem::filesystem_error(
                "mkdtemp", pattern, std::error_code(errno, std::generic_category()));
        path_ = pattern;
    }
    ~temp_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The whole file as bytes; nullopt when it cannot be opened.
inline std::optional<std::string> read_file(const std::filesystem::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string all = read_all(fd);
    close(fd);
    return all;
}

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A stored expected output; a missing one fails the test.
inline std::string golden(std::string_view name) {
    std::filesystem::path path = std::filesystem::path(QUELMAR_GOLDEN_DIR) / name;
    std::optional<std::string> bytes = read_file(path);
    if (!bytes) {
        ADD_FAILURE() << "missing golden file " << path;
        return {};
    }
    return *bytes;
}

// True, with `seen` moved past it, when `text` stands in `buffer` after `seen`.
inline bool take_match(const std::string& buffer, std::size_t& seen, std::string_view text) {
    std::size_t at = buffer.find(text, seen);
    if (at == std::string::npos)
        return false;
    seen = at + text.size();
    return true;
}

// Milliseconds until `deadline`, for poll; 0 or less once it has passed.
inline int milliseconds_left(std::chrono::steady_clock::time_point deadline) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count());
}

// Where the tool's standard error goes.
enum class error_stream {
    separate,
    merged, // into standard output, so the order of the two shows
};

// Creates or empties `path` for the tool to write; `flags` O_TRUNC or O_APPEND.
inline int open_for_writing(const std::filesystem::path& path, int flags = O_TRUNC) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0600);
}

// The tool's standard input, output and error, opened by the test.
struct standard_fds {
    int in;
    int out;
    int err;
};

// Starts the tool in `folder` on `fds`, in a new session: without a
// controlling terminal its final key wait ends at once. `file_size_limit`,
// when given, caps every file the tool writes; `arguments` follow its name.
inline pid_t start_tool(const std::filesystem::path& folder, standard_fds fds,
                        rlim_t file_size_limit = RLIM_INFINITY,
                        const std::vector<std::string>& arguments = {}) {
    const std::string cwd = folder.string();
    const tool_command tool(arguments);
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const rlimit limit{file_size_limit, file_size_limit};
        if (chdir(cwd.c_str()) != 0 ||
            (file_size_limit != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &limit) != 0))
            _exit(127);
        if (dup2(fds.in, 0) < 0 || dup2(fds.out, 1) < 0 || dup2(fds.err, 2) < 0)
            _exit(127);
        tool.exec();
    }
    if (pid < 0)
        ADD_FAILURE() << "fork failed";
    return pid;
}

// Waits for the child to end; after `limit` it is killed and nullopt returned.
// A pid from a failed start gives nullopt at once (-1 would mean every child,
// and every process to kill).
inline std::optional<int> wait_for_exit(pid_t pid, std::chrono::milliseconds limit = patience) {
    if (pid <= 0)
        return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 && errno != EINTR)
            return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return std::nullopt;
        }
        poll(nullptr, 0, 5);
    }
}

struct run_result {
    std::optional<int> status;
    std::string out;
    std::string err; // empty when merged into out
};

// Runs the tool in `folder` with `input` as its standard input from a file,
// and its output and errors into files; `arguments` follow its name.
inline run_result run_tool(const std::filesystem::path& folder, std::string_view input,
                           error_stream errors, const std::vector<std::string>& arguments = {}) {
    temp_folder io;
    const std::filesystem::path in_path = io.path() / "in";
    const std::filesystem::path out_path = io.path() / "out";
    const std::filesystem::path err_path = io.path() / "err";
    write_file(in_path, input);

    int in = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
    int out = open_for_writing(out_path);
    int err = errors == error_stream::merged ? out : open_for_writing(err_path);
    run_result result;
    if (in < 0 || out < 0 || err < 0) {
        ADD_FAILURE() << "cannot open the tool's standard streams";
        return result;
    }
    result.status = wait_for_exit(start_tool(folder, {in, out, err}, RLIM_INFINITY, arguments));
    close(in);
    close(out);
    if (err != out)
        close(err);
    result.out = read_file(out_path).value_or("");
    result.err = read_file(err_path).value_or("");
    return result;
}

// Passes when the process ended through exit with `code`, not by a signal.
inline testing::AssertionResult exited_with(std::optional<int> status, int code) {
    if (!status)
        return testing::AssertionFailure() << "the tool did not end and was killed";
    if (WIFSIGNALED(*status))
        return testing::AssertionFailure() << "killed by signal " << WTERMSIG(*status);
    if (!WIFEXITED(*status))
        return testing::AssertionFailure() << "ended with wait status " << *status;
    if (WEXITSTATUS(*status) != code)
        return testing::AssertionFailure() << "exit status " << WEXITSTATUS(*status);
    return testing::AssertionSuccess();
}

} // namespace tool_run
