// Images and scripts that are not regular files are refused instead of read:
// opening a pipe would wait for a writer that never comes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "script/profile_document.h"
#include "script/statement_parser.h"
#include "testlib/statement_result_printer.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

TEST(SpecialFiles, PipeIsNeitherImageNorScript) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0600), 0);
    ApplicationRecord record;
    record.imageDir = dir.path();
    EXPECT_EQ(ParseStatementLine(record, "pipe.bin -RAM"), StatementResult::STMT_OPEN_FAILED);
    ProfileDocument doc;
    EXPECT_FALSE(doc.LoadFile(dir / "pipe.bin"));
    EXPECT_EQ(ParseStatementLine(record, "/dev/null -RAM"), StatementResult::STMT_OPEN_FAILED);
}

}  // namespace
}  // namespace zul
