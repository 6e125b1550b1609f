// The notes on standard error that say why results became 0 or stopped: which
// notes a dialogue gives, and that each comes where it happened.

#include "pipe_run.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using tool_run::error_stream;
using tool_run::piped_tool;
using tool_run::temp_folder;

std::string crlf(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == '\n')
            s += '\r';
        s += c;
    }
    return s;
}

// A note and the console text it must follow at once.
struct note {
    std::string text;
    std::string after;
};

note inertia_not_a_number(int disk) {
    std::string d = std::to_string(disk);
    return {"\n Inertia of disk " + d + " is not a number: taken as 0 \n",
            "\n\n Enter inertia of disk  " + d + " \n"};
}
note stiffness_not_a_number(int shaft) {
    std::string s = std::to_string(shaft);
    return {"\n Stiffness of shaft " + s + " is not a number: taken as 0 \n",
            "\n\n Enter stiffness of shaft " + s + " \n"};
}
note ended_before_inertia(int disk) {
    std::string d = std::to_string(disk);
    return {"\n Input ended before the inertia of disk " + d +
                ": it and the later values are taken as 0 \n",
            "\n\n Enter inertia of disk  " + d + " \n"};
}
note ended_before_stiffness(int shaft) {
    std::string s = std::to_string(shaft);
    return {"\n Input ended before the stiffness of shaft " + s +
                ": it and the later values are taken as 0 \n",
            "\n\n Enter stiffness of shaft " + s + " \n"};
}
// Right after the frequency block, which ends with the f3 line.
const note no_real_frequencies{
    "\n Modes 2 and 3 have no real natural frequencies for these values \n", " Hz\n\n"};
note mode_unsolved(int mode) {
    return {"\n Mode " + std::to_string(mode) +
                " cannot be solved: a pivot is zero or not a number; the report ends before it \n",
            " equals zero "};
}

// A value read from the start of a longer token, told right after its prompt.
note inertia_cut(int disk, std::string_view shown, bool at_limit = false) {
    std::string d = std::to_string(disk);
    return {"\n Inertia of disk " + d + " read as " + std::string(shown) +
                (at_limit ? ": it is longer than 349 characters and was cut there \n"
                          : ": the character after it cannot continue a number \n"),
            "\n\n Enter inertia of disk  " + d + " \n"};
}
note stiffness_cut(int shaft, std::string_view shown) {
    std::string s = std::to_string(shaft);
    return {"\n Stiffness of shaft " + s + " read as " + std::string(shown) +
                ": the character after it cannot continue a number \n",
            "\n\n Enter stiffness of shaft " + s + " \n"};
}
// Written after the mode's displacement block, which goes to the report only:
// right after the frequency block or the note before it (an empty `after`).
note mode_not_finite(int mode, std::string after = "") {
    return {"\n Mode " + std::to_string(mode) +
                " could not be normalised to disk 1: some of its components are not finite \n",
            std::move(after)};
}

struct dialogue_case {
    const char* name;
    std::string input;
    std::vector<note> notes;
};

void PrintTo(const dialogue_case& c, std::ostream* os) {
    *os << c.name;
}

const dialogue_case dialogue_cases[] = {
    {"TypicalRun", "r.txt 2 1000 4 3000 1\n", {}},
    {"InputEndsRightAfterTheLastValue", "r.txt 2 1000 4 3000 1", {}},
    // The value before the comma is told, then the comma stays in the input
    // and fails every later read.
    {"CommaAsDecimalPoint",
     "r.txt 1,5 1 1 1 1",
     {inertia_cut(1, "1"), stiffness_not_a_number(1), inertia_not_a_number(2),
      stiffness_not_a_number(2), inertia_not_a_number(3), no_real_frequencies, mode_unsolved(1)}},
    {"UnitAfterTheSecondValue",
     "r.txt 2 1000Nm 4 3000 1\n",
     {stiffness_cut(1, "1000"), inertia_not_a_number(2), stiffness_not_a_number(2),
      inertia_not_a_number(3), no_real_frequencies, mode_not_finite(1), mode_not_finite(2),
      mode_not_finite(3)}},
    // A second point starts the next value, which every later one follows.
    {"TwoPointsInANumber", "r.txt 1.2.3 1 1 1 1\n", {inertia_cut(1, "1.2")}},
    // The characters after the limit are the next value.
    {"NumberLongerThanTheLimit",
     "r.txt 0." + std::string(347, '0') + "25 1 1 1 1\n",
     {inertia_cut(1, "0", true), no_real_frequencies}},
    // A stiffness typed 0 leaves disk 3 uncoupled where modes 1 and 2 are
    // normalised.
    {"StiffnessTypedZero",
     "r.txt 1 1 1 0 1\n",
     {mode_not_finite(1, " Hz\n\n"), mode_not_finite(2)}},
    {"NegativeStiffness", "r.txt 1 -5 1 1 1", {no_real_frequencies}},

    // The end of input is told once, before the first value it takes.
    {"EndsBeforeInertia1",
     "r.txt\n",
     {ended_before_inertia(1), no_real_frequencies, mode_unsolved(1)}},
    {"EndsBeforeStiffness1",
     "r.txt 2\n",
     {ended_before_stiffness(1), no_real_frequencies, mode_unsolved(1)}},
    {"EndsBeforeInertia2",
     "r.txt 2 1000",
     {ended_before_inertia(2), no_real_frequencies, mode_not_finite(1), mode_not_finite(2),
      mode_not_finite(3)}},
    {"EndsBeforeStiffness2",
     "r.txt 2 1000 4 \n\n",
     {ended_before_stiffness(2), no_real_frequencies, mode_not_finite(1), mode_not_finite(2),
      mode_not_finite(3)}},
    {"EndsBeforeInertia3", "r.txt 2 1000 4 3000\n", {ended_before_inertia(3), no_real_frequencies}},

    // A sign or point alone is not a number; only the read after it meets the end.
    {"LoneMinusBeforeTheEnd",
     "r.txt 2 1000 4 -",
     {stiffness_not_a_number(2), ended_before_inertia(3), no_real_frequencies, mode_not_finite(1),
      mode_not_finite(2), mode_not_finite(3)}},
    {"LonePointAtTheLastValue",
     "r.txt 2 1000 4 3000 .\n",
     {inertia_not_a_number(3), no_real_frequencies}},
    // Followed by a line break it fails that read alone; the next reads go on.
    {"LoneMinusOnItsOwnLine",
     "r.txt 2 -\n1000 4 3000 1\n",
     {stiffness_not_a_number(1), mode_not_finite(1, " Hz\n\n"), mode_not_finite(2),
      mode_not_finite(3)}},
};

class NotesOnErrors : public testing::TestWithParam<dialogue_case> {};

// Types the whole input at once, ends it, and waits for the tool to end.
void run_to_end(piped_tool& tool, const std::string& input) {
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.type(input));
    tool.close_input();
    EXPECT_TRUE(tool_run::exited_with(tool.wait_for_end(), 1));
}

TEST_P(NotesOnErrors, ComeWhereTheyHappen) {
    const dialogue_case& c = GetParam();

    temp_folder folder;
    piped_tool separate(folder.path(), error_stream::separate);
    run_to_end(separate, c.input);

    std::string errors;
    for (const note& n : c.notes)
        errors += crlf(n.text);
    EXPECT_EQ(separate.err(), errors);

    // The same run with both streams in one pipe: each note follows its
    // console text, and the console bytes are those of the separate run.
    temp_folder other_folder;
    piped_tool merged(other_folder.path(), error_stream::merged);
    run_to_end(merged, c.input);

    std::string expected = separate.out();
    std::size_t from = 0;
    for (const note& n : c.notes) {
        const std::string after = crlf(n.after);
        std::size_t at = expected.find(after, from);
        ASSERT_NE(at, std::string::npos) << "no \"" << n.after << "\" for \"" << n.text << "\"";
        from = at + after.size();
        expected.insert(from, crlf(n.text));
        from += crlf(n.text).size();
    }
    EXPECT_EQ(merged.out(), expected);

    // Notes never go into the report.
    std::string report = tool_run::read_file(folder.path() / "r.txt").value_or("");
    for (const note& n : c.notes)
        EXPECT_EQ(report.find(crlf(n.text)), std::string::npos) << n.text;
}

INSTANTIATE_TEST_SUITE_P(Dialogues, NotesOnErrors, testing::ValuesIn(dialogue_cases),
                         [](const testing::TestParamInfo<dialogue_case>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
