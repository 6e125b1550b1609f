// Runs the built tool on scripted input and compares everything it produces
// with stored bytes.

#include "chain_cases.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tool_run::golden;
using tool_run::read_file;
using tool_run::temp_folder;

using tool_run::error_stream;
using tool_run::open_for_writing;
using tool_run::run_result;
using tool_run::run_tool;
using tool_run::start_tool;

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "no \"" << from << "\" to replace";
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// What a run leaves behind.
struct outcome {
    const char* console;                   // golden of standard output
    const char* errors;                    // golden of standard error; nullptr: nothing
    std::vector<std::string> folder_after; // the folder's entries after the run
    const char* report;                    // golden of the first entry; nullptr: not compared
    // Golden of both streams into one file; nullptr: the console, then the errors.
    const char* merged = nullptr;
};

struct tool_case {
    const char* name;
    std::string input;
    void (*prepare)(const fs::path& folder); // nullptr: the folder starts empty
    outcome expected;
};

void PrintTo(const tool_case& c, std::ostream* os) {
    *os << c.name;
}

const std::string typical_values = "2 1000 4 3000 1\n";

void fill_old_report(const fs::path& folder) {
    std::string old;
    while (old.size() < 10000)
        old += "an older and much longer report\r\n";
    tool_run::write_file(folder / "report.txt", old);
}

void make_report_folder(const fs::path& folder) {
    fs::create_directory(folder / "report.txt");
}

const outcome typical_run{"typical_run.out", nullptr, {"report.txt"}, "typical_run.report"};
// All five values stay 0 and mode 1 meets a zero pivot in row 0; the notes
// say why, each where it happens.
const outcome not_a_number_run{"zero_pivot.out",
                               "not_a_number_run.err",
                               {"report.txt"},
                               "zero_pivot.report",
                               "not_a_number_run.merged"};
const outcome all_zero_run{"zero_pivot.out",
                           "all_zero_run.err",
                           {"report.txt"},
                           "zero_pivot.report",
                           "all_zero_run.merged"};
const outcome no_filename{"filename_prompt.out", "no_filename.err", {}, nullptr};
const outcome filename_too_long{"filename_prompt.out", "filename_too_long.err", {}, nullptr};

const tool_case tool_cases[] = {
    {"ValuesOnePerLine", "report.txt\n2\n1000\n4\n3000\n1\n", nullptr, typical_run},
    {"ValuesOnOneLine", "report.txt " + typical_values, nullptr, typical_run},
    // Every blank-space character separates; the input may end right after the last value.
    {"OtherBlankSpace", " \t\nreport.txt\r\n2\t1000\v4\f3000\r\n 1", nullptr, typical_run},
    {"ExistingFileIsReplaced", "report.txt " + typical_values, fill_old_report, typical_run},

    {"NonNumericFirstInertia", "report.txt\nx\n", nullptr, not_a_number_run},
    {"AllValuesZero", "report.txt 0 0 0 0 0\n", nullptr, all_zero_run},
    // Values below the smallest double read as 0, whatever the width of size_t.
    {"UnderflowingValuesReadAsZero",
     "report.txt 1e-400 0." + std::string(340, '0') + "1 " + std::string(300, '0') +
         "1e-999999999999 0 1e-324\n",
     nullptr, all_zero_run},
    // Only "out" names the file; "put.txt" makes every numeric read fail.
    {"FileNameWithBlank",
     "out put.txt\n" + typical_values,
     nullptr,
     {"zero_pivot.out",
      "not_a_number_run.err",
      {"out"},
      "zero_pivot.report",
      "not_a_number_run.merged"}},

    {"NoInput", "", nullptr, no_filename},
    {"OnlyBlankSpace", " \n\t\r\n\n", nullptr, no_filename},
    {"FileNameOf4096Bytes", std::string(4096, 'a') + " " + typical_values, nullptr,
     filename_too_long},
    {"MissingFolder",
     "missing/report.txt " + typical_values,
     nullptr,
     {"filename_prompt.out", "cannot_create_missing_folder.err", {}, nullptr}},
    {"NameOfAFolder",
     "report.txt " + typical_values,
     make_report_folder,
     {"filename_prompt.out", "cannot_create_folder.err", {"report.txt"}, nullptr}},
    {"NameTooLongForTheFileSystem",
     std::string(256, 'a') + " " + typical_values,
     nullptr,
     {"filename_prompt.out", "cannot_create_long_name.err", {}, nullptr}},

    // Every write to the report fails: the message replaces the closing lines.
    {"FullDevice",
     "/dev/full " + typical_values,
     nullptr,
     {"typical_run_without_closing.out", "cannot_write_full_device.err", {}, nullptr}},
    {"FullDeviceAtZeroPivot",
     "/dev/full x\n",
     nullptr,
     {"zero_pivot.out",
      "full_device_at_zero_pivot.err",
      {},
      nullptr,
      "full_device_at_zero_pivot.merged"}},
};

class ToolRun : public testing::TestWithParam<tool_case> {};

TEST_P(ToolRun, ProducesStoredOutput) {
    const tool_case& c = GetParam();
    const outcome& expected = c.expected;
    const std::string console = golden(expected.console);
    const std::string errors = expected.errors != nullptr ? golden(expected.errors) : "";
    for (error_stream how : {error_stream::separate, error_stream::merged}) {
        SCOPED_TRACE(how == error_stream::merged ? "errors into standard output"
                                                 : "separate streams");
        temp_folder folder;
        if (c.prepare != nullptr)
            c.prepare(folder.path());

        run_result r = run_tool(folder.path(), c.input, how);

        EXPECT_TRUE(tool_run::exited_with(r.status, 1));
        if (how == error_stream::separate) {
            EXPECT_EQ(r.out, console);
            EXPECT_EQ(r.err, errors);
        } else if (expected.merged != nullptr) {
            EXPECT_EQ(r.out, golden(expected.merged));
        } else {
            // Console output is complete before any error message starts.
            EXPECT_EQ(r.out, console + errors);
        }
        EXPECT_EQ(names_in(folder.path()), expected.folder_after);
        if (expected.report != nullptr) {
            EXPECT_EQ(read_file(folder.path() / expected.folder_after.front())
                          .value_or("<no report file>"),
                      golden(expected.report));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ToolRun, testing::ValuesIn(tool_cases),
                         [](const testing::TestParamInfo<tool_case>& info) {
                             return std::string(info.param.name);
                         });

// The chains of the analysis table run through the whole tool, so that other
// builds of it (cross builds) print the same fields.
TEST(ChainRun, PrintsFrequenciesAndModeShapesOfEachChain) {
    for (const chain_cases::chain_case& c : chain_cases::cases) {
        temp_folder folder;
        run_result r = run_tool(folder.path(), std::string("report.txt ") + c.typed + "\n",
                                error_stream::separate);

        EXPECT_TRUE(tool_run::exited_with(r.status, 1)) << c.typed;
        const chain_cases::printed_fields printed = chain_cases::read_printed_fields(
            r.out, read_file(folder.path() / "report.txt").value_or("<no report file>"));
        EXPECT_EQ(printed.frequencies, c.frequencies) << c.typed;
        EXPECT_EQ(printed.vectors, c.vectors) << c.typed;
        EXPECT_EQ(printed.stop_row, c.stop_row) << c.typed;
    }
}

// A name of `length` bytes that the system still resolves: "./" steps lengthen
// the typed name while the file lands in the folder itself.
std::string long_relative_name(std::size_t length, std::string* file) {
    std::string name;
    for (int i = 0; i < 2040; ++i)
        name += "./";
    *file = std::string(length - name.size() - 4, 'r') + ".txt";
    return name + *file;
}

// A name whose bytes would retitle a terminal; files and pipes get them as typed.
const std::string retitling_name = "a\x1b]0;t\x07";

struct typed_name_case {
    const char* name;
    std::string typed;
    std::string file;   // what lands in the folder; empty: nothing
    const char* errors; // golden of standard error, or nullptr for the literal below
    std::string error_text;
};

void PrintTo(const typed_name_case& c, std::ostream* os) {
    *os << c.name;
}

std::vector<typed_name_case> typed_name_cases() {
    std::string longest_file, too_long_file;
    std::string longest = long_relative_name(4095, &longest_file);
    std::string too_long = long_relative_name(4096, &too_long_file);
    return {
        {"LongestNameIsTakenAsTyped", longest, longest_file, nullptr, ""},
        {"OneByteMoreIsRefused", too_long, "", "filename_too_long.err", ""},
        {"ControlBytesReachThePipeRaw", retitling_name, retitling_name, nullptr, ""},
        {"ControlBytesInAnErrorReachThePipeRaw", "missing/" + retitling_name, "", nullptr,
         "\r\n Cannot create output file missing/" + retitling_name +
             ": No such file or directory \r\n"},
        // A character device is no file the tool could overwrite.
        {"CharacterDeviceIsTaken", "/dev/null", "", nullptr, ""},
    };
}

class TypedName : public testing::TestWithParam<typed_name_case> {};

TEST_P(TypedName, IsShownAndUsedAsTyped) {
    const typed_name_case& c = GetParam();
    temp_folder folder;

    run_result r = run_tool(folder.path(), c.typed + "\n" + typical_values, error_stream::separate);

    EXPECT_TRUE(tool_run::exited_with(r.status, 1));
    const bool refused = c.errors != nullptr || !c.error_text.empty();
    if (refused) {
        EXPECT_EQ(r.out, golden("filename_prompt.out"));
        EXPECT_EQ(r.err, c.errors != nullptr ? golden(c.errors) : c.error_text);
    } else {
        EXPECT_EQ(r.out, replaced(golden("typical_run.out"), "   report.txt \r\n",
                                  "   " + c.typed + " \r\n"));
        EXPECT_EQ(r.err, "");
    }
    if (c.file.empty()) {
        EXPECT_TRUE(names_in(folder.path()).empty());
    } else {
        EXPECT_EQ(read_file(folder.path() / c.file).value_or("<no report file>"),
                  golden("typical_run.report"));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TypedName, testing::ValuesIn(typed_name_cases()),
                         [](const testing::TestParamInfo<typed_name_case>& info) {
                             return std::string(info.param.name);
                         });

// The report named as a file the tool already has open as a standard stream.
struct shared_file_case {
    const char* name;
    int stream;          // 0, 1 or 2: the standard descriptor that is "stream.txt"
    const char* typed;   // the report file name typed
    bool linked = false; // "link.txt" is a hard link to "stream.txt"
};

void PrintTo(const shared_file_case& c, std::ostream* os) {
    *os << c.name;
}

const shared_file_case shared_file_cases[] = {
    {"StandardInput", 0, "stream.txt"},
    {"StandardOutput", 1, "stream.txt"},
    {"StandardError", 2, "stream.txt"},
    {"HardLinkToStandardOutput", 1, "link.txt", true},
    {"HardLinkToStandardInput", 0, "link.txt", true},
    {"StandardOutputByItsDeviceName", 1, "/dev/stdout"},
};

class SharedFile : public testing::TestWithParam<shared_file_case> {};

TEST_P(SharedFile, IsRefusedAndLeftIntact) {
    const shared_file_case& c = GetParam();
    temp_folder folder;
    temp_folder io;
    const fs::path stream = folder.path() / "stream.txt";
    const std::string input = std::string(c.typed) + " " + typical_values;
    tool_run::write_file(c.stream == 0 ? stream : io.path() / "in", input);
    if (c.stream != 0)
        tool_run::write_file(stream, "");
    if (c.linked) {
        ASSERT_EQ(link(stream.c_str(), (folder.path() / "link.txt").c_str()), 0);
    }
    const fs::path paths[] = {c.stream == 0 ? stream : io.path() / "in",
                              c.stream == 1 ? stream : io.path() / "out",
                              c.stream == 2 ? stream : io.path() / "err"};
    int in = open(paths[0].c_str(), O_RDONLY | O_CLOEXEC);
    // Appending, as a shell's >> would: a shared offset must not hide a rewrite.
    int out = open(paths[1].c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    int err = open(paths[2].c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_TRUE(in >= 0 && out >= 0 && err >= 0);

    std::optional<int> status = tool_run::wait_for_exit(start_tool(folder.path(), {in, out, err}));
    for (int fd : {in, out, err})
        close(fd);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    const std::string message = std::string("\r\n Cannot create output file ") + c.typed +
                                ": it is also standard input, output or error \r\n";
    EXPECT_EQ(read_file(paths[0]), input);
    EXPECT_EQ(read_file(paths[1]), golden("filename_prompt.out"));
    EXPECT_EQ(read_file(paths[2]), message);
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedFile, testing::ValuesIn(shared_file_cases),
                         [](const testing::TestParamInfo<shared_file_case>& info) {
                             return std::string(info.param.name);
                         });

// A pipe whose reader has gone, as both ends of a fresh pipe with the reading
// end closed: writes to it fail with EPIPE.
struct reader_gone_pipe {
    int fds[2] = {-1, -1};
    reader_gone_pipe() {
        if (pipe2(fds, O_CLOEXEC) == 0)
            close(fds[0]);
    }
    ~reader_gone_pipe() { close(fds[1]); }
    int write_end() const { return fds[1]; }
};

TEST(WriteFailure, ConsoleWithoutReaderStillEndsWithStatus1AndItsMessage) {
    const struct {
        const char* name;
        std::string input;
        const char* errors; // golden; nullptr: nothing
    } cases[] = {
        {"typical run", "report.txt " + typical_values, nullptr},
        {"missing folder", "missing/report.txt " + typical_values,
         "cannot_create_missing_folder.err"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder folder;
        temp_folder io;
        tool_run::write_file(io.path() / "in", c.input);
        reader_gone_pipe console;
        int in = open((io.path() / "in").c_str(), O_RDONLY | O_CLOEXEC);
        int err = open_for_writing(io.path() / "err");
        ASSERT_TRUE(in >= 0 && console.write_end() >= 0 && err >= 0);

        std::optional<int> status =
            tool_run::wait_for_exit(start_tool(folder.path(), {in, console.write_end(), err}));
        close(in);
        close(err);

        EXPECT_TRUE(tool_run::exited_with(status, 1));
        EXPECT_EQ(read_file(io.path() / "err"), c.errors != nullptr ? golden(c.errors) : "");
        if (c.errors == nullptr) {
            EXPECT_EQ(read_file(folder.path() / "report.txt"), golden("typical_run.report"));
        }
    }
}

TEST(WriteFailure, FileSizeLimitCutsTheReportWithAMessage) {
    // Room for the console text but not for the whole report.
    constexpr rlim_t limit = 700;
    const std::string report = golden("typical_run.report");
    ASSERT_GT(report.size(), limit);
    ASSERT_LT(golden("typical_run.out").size(), limit);
    temp_folder folder;
    temp_folder io;
    tool_run::write_file(io.path() / "in", "report.txt " + typical_values);
    int in = open((io.path() / "in").c_str(), O_RDONLY | O_CLOEXEC);
    int out = open_for_writing(io.path() / "out");
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(in >= 0 && out >= 0 && err >= 0);

    std::optional<int> status =
        tool_run::wait_for_exit(start_tool(folder.path(), {in, out, err}, limit));
    for (int fd : {in, out, err})
        close(fd);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    EXPECT_EQ(read_file(io.path() / "out"), golden("typical_run_without_closing.out"));
    EXPECT_EQ(read_file(io.path() / "err"),
              "\r\n Cannot write output file report.txt: File too large \r\n");
    EXPECT_EQ(read_file(folder.path() / "report.txt"), report.substr(0, limit));
}

TEST(WriteFailure, ReportToAFifoWhoseReaderHasGone) {
    temp_folder folder;
    temp_folder io;
    ASSERT_EQ(mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    int input[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    int out = open_for_writing(io.path() / "out");
    int err = open_for_writing(io.path() / "err");
    ASSERT_TRUE(out >= 0 && err >= 0);

    pid_t pid = start_tool(folder.path(), {input[0], out, err});
    close(input[0]);
    const std::string name = "fifo\n";
    ASSERT_EQ(write(input[1], name.data(), name.size()), static_cast<ssize_t>(name.size()));
    // The tool opens the FIFO once it has the name; the reader then leaves
    // before any report text is written, which happens only at the end.
    int reader = open((folder.path() / "fifo").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    close(reader);
    ASSERT_EQ(write(input[1], typical_values.data(), typical_values.size()),
              static_cast<ssize_t>(typical_values.size()));
    close(input[1]);

    std::optional<int> status = tool_run::wait_for_exit(pid);
    close(out);
    close(err);

    EXPECT_TRUE(tool_run::exited_with(status, 1));
    EXPECT_EQ(read_file(io.path() / "out"), golden("typical_run_without_closing.out"));
    EXPECT_EQ(read_file(io.path() / "err"), "\r\n Cannot write output file fifo: Broken pipe \r\n");
}

} // namespace
