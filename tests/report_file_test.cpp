// The report file against the other files of the run: the tool's own pipes
// and FIFOs are refused like its own files, a second run cannot write into
// the report of the first, and the report ends where the tool's text ends.

#include "pipe_run.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <ostream>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tool_run::error_stream;
using tool_run::golden;
using tool_run::open_for_writing;
using tool_run::piped_tool;
using tool_run::read_file;
using tool_run::temp_folder;

const std::string typical_values = "2 1000 4 3000 1\n";

std::string refusal(const std::string& name, const std::string& reason) {
    return "\r\n Cannot create output file " + name + ": " + reason + " \r\n";
}

// The report named as one of the tool's own standard streams, each a pipe.
struct pipe_case {
    const char* name;
    const char* typed;
};

void PrintTo(const pipe_case& c, std::ostream* os) {
    *os << c.name;
}

class OwnPipe : public testing::TestWithParam<pipe_case> {};

// Writing the report into its own input would hang the tool or lose the
// report; into its console or error pipe, it would mix with them.
TEST_P(OwnPipe, IsRefused) {
    const pipe_case& c = GetParam();
    temp_folder folder;
    piped_tool tool(folder.path(), error_stream::separate);
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.type(std::string(c.typed) + " " + typical_values));
    tool.close_input();

    EXPECT_TRUE(tool_run::exited_with(tool.wait_for_end(), 1));
    EXPECT_EQ(tool.out(), golden("filename_prompt.out"));
    EXPECT_EQ(tool.err(), refusal(c.typed, "it is also standard input, output or error"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, OwnPipe,
                         testing::Values(pipe_case{"InputByDeviceName", "/dev/stdin"},
                                         pipe_case{"InputByDescriptorName", "/proc/self/fd/0"},
                                         pipe_case{"Output", "/dev/stdout"},
                                         pipe_case{"Error", "/dev/stderr"}),
                         [](const testing::TestParamInfo<pipe_case>& info) {
                             return std::string(info.param.name);
                         });

TEST(OwnFifo, AsInputIsRefused) {
    temp_folder folder;
    temp_folder io;
    const fs::path fifo = folder.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Both ends without waiting for each other; the input is all there, and
    // only the tool keeps the FIFO open for reading.
    int in = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(in, 0);
    int feed = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(feed, 0);
    ASSERT_EQ(fcntl(in, F_SETFL, 0), 0);
    const std::string input = "fifo " + typical_values;
    ASSERT_EQ(write(feed, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(feed);
    int out = open_for_writing(io.path() / "out");
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(out >= 0 && err >= 0);

    std::optional<int> status =
        tool_run::wait_for_exit(tool_run::start_tool(folder.path(), {in, out, err}));
    for (int fd : {in, out, err})
        close(fd);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    EXPECT_EQ(read_file(io.path() / "out"), golden("filename_prompt.out"));
    EXPECT_EQ(read_file(io.path() / "err"),
              refusal("fifo", "it is also standard input, output or error"));
}

// Starts a run that names "report.txt" and stops it at the first value, with
// the report file open.
void run_to_first_value(piped_tool& tool) {
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.type("report.txt\n"));
    ASSERT_TRUE(tool.wait_for_text(" Enter inertia of disk  1 \r\n"));
}

void finish_typical_run(piped_tool& tool) {
    ASSERT_TRUE(tool.type(typical_values));
    tool.close_input();
    EXPECT_TRUE(tool_run::exited_with(tool.wait_for_end(), 1));
    EXPECT_EQ(tool.out(), golden("typical_run.out"));
    EXPECT_EQ(tool.err(), "");
}

TEST(TwoRuns, TheSecondIsRefusedWhileTheFirstWritesTheReport) {
    temp_folder folder;
    piped_tool first(folder.path(), error_stream::separate);
    ASSERT_NO_FATAL_FAILURE(run_to_first_value(first));

    piped_tool second(folder.path(), error_stream::separate);
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(second.type("report.txt 1 1 1 1 1\n"));
    second.close_input();
    EXPECT_TRUE(tool_run::exited_with(second.wait_for_end(), 1));
    EXPECT_EQ(second.out(), golden("filename_prompt.out"));
    EXPECT_EQ(second.err(), refusal("report.txt", "another run is writing it"));

    ASSERT_NO_FATAL_FAILURE(finish_typical_run(first));
    EXPECT_EQ(read_file(folder.path() / "report.txt"), golden("typical_run.report"));
}

TEST(ReportLength, BytesWrittenByAnotherProgramMeanwhileDoNotStayAfterTheReport) {
    temp_folder folder;
    piped_tool tool(folder.path(), error_stream::separate);
    ASSERT_NO_FATAL_FAILURE(run_to_first_value(tool));

    // Longer than the report, so that only a cut to its length removes it.
    const std::string other(4000, 'x');
    int fd = open((folder.path() / "report.txt").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(write(fd, other.data(), other.size()), static_cast<ssize_t>(other.size()));
    close(fd);

    ASSERT_NO_FATAL_FAILURE(finish_typical_run(tool));
    EXPECT_EQ(read_file(folder.path() / "report.txt"), golden("typical_run.report"));
}

// A started tool, killed when the test ends before it does.
struct tool_process {
    pid_t pid = -1;
    bool ended = false;
    ~tool_process() {
        if (pid > 0 && !ended) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// A FIFO without a reader blocks the open of the report; the prompts before
// it must already show, even when the console is a pipe and the input a file.
TEST(ReportToAFifo, PromptShowsWhileTheOpenWaitsForAReader) {
    temp_folder folder;
    temp_folder io;
    const fs::path fifo = folder.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    tool_run::write_file(io.path() / "in", "fifo " + typical_values);
    int console[2] = {-1, -1};
    ASSERT_EQ(pipe2(console, O_CLOEXEC), 0);
    int in = open((io.path() / "in").c_str(), O_RDONLY | O_CLOEXEC);
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(in >= 0 && err >= 0);

    tool_process tool{tool_run::start_tool(folder.path(), {in, console[1], err})};
    for (int fd : {in, console[1], err})
        close(fd);
    ASSERT_GT(tool.pid, 0);

    std::string shown;
    std::size_t seen = 0;
    auto deadline = std::chrono::steady_clock::now() + tool_run::patience;
    bool prompt_shown = false;
    while (!(prompt_shown = tool_run::take_match(shown, seen, " Enter output filename \r\n"))) {
        pollfd p{console[0], POLLIN, 0};
        int left = tool_run::milliseconds_left(deadline);
        if (left <= 0 || poll(&p, 1, left) <= 0)
            break;
        char bytes[4096];
        ssize_t got = read(console[0], bytes, sizeof bytes);
        if (got <= 0)
            break;
        shown.append(bytes, static_cast<std::size_t>(got));
    }
    EXPECT_TRUE(prompt_shown) << "shown while the open waits: \"" << shown << "\"";

    // Now the reader comes, and the run goes on to its end.
    // Opened without waiting, in case the tool never comes; the report then
    // shows that the tool opened the FIFO, and its end, that it closed it.
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    pollfd report_ready{reader, POLLIN, 0};
    ASSERT_EQ(poll(&report_ready, 1, tool_run::milliseconds_left(deadline + tool_run::patience)), 1)
        << "no report came";
    ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
    std::string report = read_all(reader);
    close(reader);
    shown += read_all(console[0]);
    close(console[0]);
    tool.ended = true;
    EXPECT_TRUE(tool_run::exited_with(tool_run::wait_for_exit(tool.pid), 1));
    std::string console_expected = golden("typical_run.out");
    const std::string named = "   report.txt \r\n";
    std::size_t at = console_expected.find(named);
    ASSERT_NE(at, std::string::npos);
    console_expected.replace(at, named.size(), "   fifo \r\n");
    EXPECT_EQ(shown, console_expected);
    EXPECT_EQ(report, golden("typical_run.report"));
    EXPECT_EQ(read_file(io.path() / "err"), "");
}

} // namespace
