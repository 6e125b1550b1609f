// What the tool says when its own streams fail, and when it is given
// arguments it does not take: a word on standard error, and the run goes on
// as far as it can.

#include "tool_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <ostream>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tool_run::golden;
using tool_run::read_file;
using tool_run::temp_folder;

const std::string typical_input = "report.txt 2 1000 4 3000 1\n";

using tool_run::open_for_writing;

// Runs the tool in `folder` on the given descriptors, which the caller closes.
std::optional<int> run_on(const fs::path& folder, tool_run::standard_fds fds,
                          rlim_t file_size_limit = RLIM_INFINITY) {
    return tool_run::wait_for_exit(tool_run::start_tool(folder, fds, file_size_limit));
}

struct arguments_case {
    const char* name;
    std::vector<std::string> arguments;
};

void PrintTo(const arguments_case& c, std::ostream* os) {
    *os << c.name;
}

class Arguments : public testing::TestWithParam<arguments_case> {};

TEST_P(Arguments, AreToldBeforeTheBannerAndIgnored) {
    const std::string note = "\r\n quelmar takes no arguments: they are ignored \r\n";
    for (tool_run::error_stream how :
         {tool_run::error_stream::separate, tool_run::error_stream::merged}) {
        bool merged = how == tool_run::error_stream::merged;
        SCOPED_TRACE(merged ? "errors into standard output" : "separate streams");
        temp_folder folder;
        tool_run::run_result r =
            tool_run::run_tool(folder.path(), typical_input, how, GetParam().arguments);

        EXPECT_TRUE(tool_run::exited_with(r.status, 1));
        if (merged) {
            EXPECT_EQ(r.out, note + golden("typical_run.out"));
        } else {
            EXPECT_EQ(r.out, golden("typical_run.out"));
            EXPECT_EQ(r.err, note);
        }
        EXPECT_EQ(read_file(folder.path() / "report.txt"), golden("typical_run.report"));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Arguments,
                         testing::Values(arguments_case{"Help", {"--help"}},
                                         arguments_case{"ReportName", {"report.txt"}},
                                         arguments_case{"Several", {"-", "2", "1000"}}),
                         [](const testing::TestParamInfo<arguments_case>& info) {
                             return std::string(info.param.name);
                         });

enum class console_kind {
    full_device,   // /dev/full: every write fails
    file_at_limit, // a file already as long as the file-size limit allows
};

struct console_case {
    const char* name;
    console_kind kind;
    std::string input;
    std::string reason;
    const char* later_errors; // golden of what standard error gets after; nullptr: nothing
    const char* report;       // golden
};

void PrintTo(const console_case& c, std::ostream* os) {
    *os << c.name;
}

class ConsoleCannotBeWritten : public testing::TestWithParam<console_case> {};

TEST_P(ConsoleCannotBeWritten, IsToldOnceAndTheReportIsCompleted) {
    const console_case& c = GetParam();
    // Room for the report, none for more console text.
    constexpr rlim_t limit = 2000;
    ASSERT_LT(golden(c.report).size(), limit);
    temp_folder folder;
    temp_folder io;
    tool_run::write_file(io.path() / "in", c.input);
    int out = -1;
    if (c.kind == console_kind::full_device) {
        out = open("/dev/full", O_WRONLY | O_CLOEXEC);
    } else {
        tool_run::write_file(io.path() / "out", std::string(limit, '-'));
        out = open_for_writing(io.path() / "out", O_APPEND);
    }
    int in = open((io.path() / "in").c_str(), O_RDONLY | O_CLOEXEC);
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(in >= 0 && out >= 0 && err >= 0);

    std::optional<int> status = run_on(folder.path(), {in, out, err}, limit);
    for (int fd : {in, out, err})
        close(fd);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    const std::string later = c.later_errors != nullptr ? golden(c.later_errors) : "";
    EXPECT_EQ(read_file(io.path() / "err"),
              "\r\n Cannot write to standard output: " + c.reason + " \r\n" + later);
    EXPECT_EQ(read_file(folder.path() / "report.txt"), golden(c.report));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsoleCannotBeWritten,
    testing::Values(console_case{"FullDevice", console_kind::full_device, typical_input,
                                 "No space left on device", nullptr, "typical_run.report"},
                    // The console fails at the first note, which follows the message.
                    console_case{"FullDeviceWithNotes", console_kind::full_device,
                                 "report.txt\nx\n", "No space left on device",
                                 "not_a_number_run.err", "zero_pivot.report"},
                    console_case{"FileSizeLimit", console_kind::file_at_limit, typical_input,
                                 "File too large", nullptr, "typical_run.report"}),
    [](const testing::TestParamInfo<console_case>& info) { return std::string(info.param.name); });

TEST(InputCannotBeRead, AFolderIsToldBeforeTheMissingName) {
    temp_folder folder;
    temp_folder io;
    int in = open(io.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int out = open_for_writing(io.path() / "out");
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(in >= 0 && out >= 0 && err >= 0);

    std::optional<int> status = run_on(folder.path(), {in, out, err});
    for (int fd : {in, out, err})
        close(fd);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    EXPECT_EQ(read_file(io.path() / "out"), golden("filename_prompt.out"));
    EXPECT_EQ(read_file(io.path() / "err"),
              "\r\n Cannot read standard input: Is a directory \r\n" + golden("no_filename.err"));
}

// The controlling side of a pseudo-terminal whose other side has closed:
// what was written before comes first, then every read fails with EIO.
TEST(InputCannotBeRead, AnErrorInMidDialogueIsToldBeforeTheEnd) {
    temp_folder folder;
    temp_folder io;
    int master = -1;
    int other_side = -1;
    ASSERT_EQ(openpty(&master, &other_side, nullptr, nullptr, nullptr), 0);
    const std::string typed = "report.txt 2 1000\n";
    ASSERT_EQ(write(other_side, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    close(other_side);
    int out = open_for_writing(io.path() / "out");
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(out >= 0 && err >= 0);

    std::optional<int> status = run_on(folder.path(), {master, out, err});
    for (int fd : {master, out, err})
        close(fd);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    const std::string errors = read_file(io.path() / "err").value_or("");
    const std::string expected_start =
        "\r\n Cannot read standard input: Input/output error \r\n"
        "\r\n Input ended before the inertia of disk 2: it and the later values are taken as 0 "
        "\r\n";
    EXPECT_EQ(errors.substr(0, expected_start.size()), expected_start);
    EXPECT_EQ(errors.find("Cannot read", expected_start.size()), std::string::npos)
        << "told more than once";
}

} // namespace
