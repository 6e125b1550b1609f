// Drives the tool over pipes, one answer after each prompt, as a program that
// talks to it would: each prompt must come before the tool waits for input.

#include "pipe_run.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using tool_run::error_stream;
using tool_run::piped_tool;
using tool_run::temp_folder;

TEST(PipedDialogue, EachPromptComesBeforeTheToolWaits) {
    temp_folder folder;
    piped_tool tool(folder.path(), error_stream::separate);
    ASSERT_TRUE(tool.started());

    // Without the prompt the test would answer nothing and both sides would
    // wait until the test gives up.
    const std::pair<const char*, const char*> dialogue[] = {
        {"\r\n Enter output filename \r\n", "report.txt\n"},
        {"\r\n\r\n Enter inertia of disk  1 \r\n", "2\n"},
        {"\r\n\r\n Enter stiffness of shaft 1 \r\n", "1000\n"},
        {"\r\n\r\n Enter inertia of disk  2 \r\n", "4\n"},
        {"\r\n\r\n Enter stiffness of shaft 2 \r\n", "3000\n"},
        {"\r\n\r\n Enter inertia of disk  3 \r\n", "1\n"},
    };
    for (const auto& [prompt, answer] : dialogue) {
        ASSERT_TRUE(tool.wait_for_text(prompt));
        // Nothing after the prompt: the tool is waiting for this answer.
        EXPECT_EQ(tool.unmatched(), "") << "before answering " << answer;
        ASSERT_TRUE(tool.type(answer));
    }
    tool.close_input();

    EXPECT_TRUE(tool_run::exited_with(tool.wait_for_end(), 1));
    // Only the moments of writing changed, not the bytes.
    EXPECT_EQ(tool.out(), tool_run::golden("typical_run.out"));
    EXPECT_EQ(tool.err(), "");
    EXPECT_EQ(tool_run::read_file(folder.path() / "report.txt").value_or("<no report file>"),
              tool_run::golden("typical_run.report"));
}

// Several values typed ahead on one line: the prompts for them come without
// waiting, and the next prompt still comes before the next wait.
TEST(PipedDialogue, TypedAheadValuesNeedNoPrompt) {
    temp_folder folder;
    piped_tool tool(folder.path(), error_stream::separate);
    ASSERT_TRUE(tool.started());

    ASSERT_TRUE(tool.wait_for_text(" Enter output filename \r\n"));
    ASSERT_TRUE(tool.type("report.txt 2 1000\n"));
    ASSERT_TRUE(tool.wait_for_text(" Enter inertia of disk  2 \r\n"));
    EXPECT_EQ(tool.unmatched(), "");
    ASSERT_TRUE(tool.type("4 3000 1\n"));
    tool.close_input();

    EXPECT_TRUE(tool_run::exited_with(tool.wait_for_end(), 1));
    EXPECT_EQ(tool.out(), tool_run::golden("typical_run.out"));
}

} // namespace
