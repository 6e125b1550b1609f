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
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tool_run::golden;
using tool_run::read_file;
using tool_run::temp_folder;

enum class streams {
    separate,
    merged, // standard error goes into the standard output file, so their order shows
};

struct run_result {
    std::optional<int> status;
    std::string out;
    std::string err;
};

// Runs the tool in `folder` with `input` as its standard input, in a new
// session: without a controlling terminal its final key wait ends at once.
run_result run_tool(const fs::path& folder, std::string_view input, streams how) {
    temp_folder io;
    const std::string in_path = (io.path() / "in").string();
    const std::string out_path = (io.path() / "out").string();
    const std::string err_path = (io.path() / "err").string();
    const std::string cwd = folder.string();
    tool_run::write_file(in_path, input);
    const tool_run::tool_command tool;

    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int in = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int err = how == streams::merged
                      ? out
                      : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || out < 0 || err < 0 || chdir(cwd.c_str()) != 0)
            _exit(127);
        if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        tool.exec();
    }
    run_result result;
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    result.status = tool_run::wait_for_exit(pid);
    result.out = read_file(out_path).value_or("");
    result.err = read_file(err_path).value_or("");
    return result;
}

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
// All five values stay 0 and mode 1 meets a zero pivot in row 0.
const outcome zero_pivot{"zero_pivot.out", nullptr, {"report.txt"}, "zero_pivot.report"};
const outcome no_filename{"filename_prompt.out", "no_filename.err", {}, nullptr};
const outcome filename_too_long{"filename_prompt.out", "filename_too_long.err", {}, nullptr};

const tool_case tool_cases[] = {
    {"ValuesOnePerLine", "report.txt\n2\n1000\n4\n3000\n1\n", nullptr, typical_run},
    {"ValuesOnOneLine", "report.txt " + typical_values, nullptr, typical_run},
    // Every blank-space character separates; the input may end right after the last value.
    {"OtherBlankSpace", " \t\nreport.txt\r\n2\t1000\v4\f3000\r\n 1", nullptr, typical_run},
    {"ExistingFileIsReplaced", "report.txt " + typical_values, fill_old_report, typical_run},

    {"NonNumericFirstInertia", "report.txt\nx\n", nullptr, zero_pivot},
    {"AllValuesZero", "report.txt 0 0 0 0 0\n", nullptr, zero_pivot},
    // Only "out" names the file; "put.txt" makes every numeric read fail.
    {"FileNameWithBlank",
     "out put.txt\n" + typical_values,
     nullptr,
     {"zero_pivot.out", nullptr, {"out"}, "zero_pivot.report"}},

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
     {"zero_pivot.out", "cannot_write_full_device.err", {}, nullptr}},
};

class ToolRun : public testing::TestWithParam<tool_case> {};

TEST_P(ToolRun, ProducesStoredOutput) {
    const tool_case& c = GetParam();
    const outcome& expected = c.expected;
    const std::string console = golden(expected.console);
    const std::string errors = expected.errors != nullptr ? golden(expected.errors) : "";
    for (streams how : {streams::separate, streams::merged}) {
        SCOPED_TRACE(how == streams::merged ? "errors into standard output" : "separate streams");
        temp_folder folder;
        if (c.prepare != nullptr)
            c.prepare(folder.path());

        run_result r = run_tool(folder.path(), c.input, how);

        EXPECT_TRUE(tool_run::exited_with(r.status, 1));
        if (how == streams::separate) {
            EXPECT_EQ(r.out, console);
            EXPECT_EQ(r.err, errors);
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
        run_result r =
            run_tool(folder.path(), std::string("report.txt ") + c.typed + "\n", streams::separate);

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

TEST(ToolRunLongName, NameOf4095BytesIsTakenAsTyped) {
    temp_folder folder;
    std::string file;
    const std::string name = long_relative_name(4095, &file);
    ASSERT_EQ(name.size(), 4095u);

    run_result r = run_tool(folder.path(), name + "\n" + typical_values, streams::separate);

    EXPECT_TRUE(tool_run::exited_with(r.status, 1));
    EXPECT_EQ(r.out,
              replaced(golden("typical_run.out"), "   report.txt \r\n", "   " + name + " \r\n"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(folder.path() / file).value_or("<no report file>"),
              golden("typical_run.report"));
}

TEST(ToolRunLongName, OneByteMoreIsRefused) {
    temp_folder folder;
    std::string file;
    const std::string name = long_relative_name(4096, &file);
    ASSERT_EQ(name.size(), 4096u);

    run_result r = run_tool(folder.path(), name + "\n" + typical_values, streams::separate);

    EXPECT_TRUE(tool_run::exited_with(r.status, 1));
    EXPECT_EQ(r.out, golden("filename_prompt.out"));
    EXPECT_EQ(r.err, golden("filename_too_long.err"));
    EXPECT_TRUE(names_in(folder.path()).empty());
}

} // namespace
