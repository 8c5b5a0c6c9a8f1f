// Every command example of the README runs as printed: the zul-cli lines and
// the socat lines around them, in the order they stand, in a sandbox that
// looks like an installation (the program with the demo directory beside it,
// and a simulated tester behind COM3). Paths under /tmp are moved into the
// sandbox, so that runs side by side do not meet.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testlib/temp_dir.h"

namespace zul {
namespace {

struct Example {
    std::string line;        // as printed, without its comment
    std::string comment;     // what the README says it does ("" when nothing)
    bool background = false;
};

std::string Trim(const std::string& s) {
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The command lines of the README's code: fenced blocks and indented blocks.
std::vector<Example> ReadmeExamples() {
    std::ifstream in(std::string(ZUL_SOURCE_DIR) + "/README.md");
    std::vector<Example> examples;
    bool fenced = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("```", 0) == 0) {
            fenced = !fenced;
            continue;
        }
        if (!fenced && line.rfind("    ", 0) != 0) continue;
        std::string code = Trim(line);
        const std::string first = code.substr(0, code.find(' '));
        if (first != "zul-cli" && first != "build/dev/zul-cli" && first != "socat" && first != "printf") continue;
        Example example;
        // A comment starts at a "#" after blanks (none of the commands has one
        // inside its words).
        if (const std::size_t hash = code.find("  #"); hash != std::string::npos) {
            example.comment = Trim(code.substr(hash + 3));
            code = Trim(code.substr(0, hash));
        }
        if (!code.empty() && code.back() == '&') {
            example.background = true;
            code = Trim(code.substr(0, code.size() - 1));
        }
        example.line = code;
        examples.push_back(example);
    }
    return examples;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The path a background example makes (its link), which later ones open.
std::string MadePath(const std::string& line) {
    for (const char* marker : {"--link ", "link="}) {
        const std::size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        const std::size_t from = at + std::string(marker).size();
        return line.substr(from, line.find_first_of(" ,", from) - from);
    }
    return "";
}

// The text an example's comment promises in its output: the last quoted
// words of the comment.
std::string Promised(const std::string& comment) {
    const std::size_t close = comment.rfind('"');
    if (close == std::string::npos || close == 0) return "";
    const std::size_t open = comment.rfind('"', close - 1);
    return open == std::string::npos ? "" : comment.substr(open + 1, close - open - 1);
}

void CopyProgram(const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::copy_file(ZUL_CLI_PATH, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_all);
}

TEST(ReadmeExamples, RunAsPrinted) {
    const std::vector<Example> examples = ReadmeExamples();
    ASSERT_GE(examples.size(), 6u) << "the README's examples were not found";

    test::TempDir sandbox;
    const std::string root = sandbox.path();
    const std::string apps = std::string(ZUL_BINARY_DIR) + "/Apps";
    CopyProgram(root + "/zul-cli");
    CopyProgram(root + "/build/dev/zul-cli");
    std::filesystem::create_directory_symlink(apps, root + "/Apps");
    std::filesystem::create_directory_symlink(apps, root + "/build/dev/Apps");
    std::filesystem::create_directories(root + "/tmp");
    // The program's own settings file: COM3 is the simulated tester below.
    sandbox.Write("zultw.ini", "[Devices]\nCOM3=" + root + "/tmp/com3\n");
    std::string answers;
    for (int i = 0; i < 20; ++i) answers += "o\n";
    sandbox.Write("answers", answers);

    // One shell runs them all, so that background examples stay up for the
    // ones that follow. Each wait for a device has a bound.
    std::ostringstream script;
    script << "cd " << test::ShellQuote(root) << "\n"
           << "export PATH=" << test::ShellQuote(root) << ":$PATH\n"
           << "pids=\n"
           << "appear() { for i in $(seq 1 200); do [ -e \"$1\" ] && return 0; sleep 0.05; done; return 1; }\n"
           << "trap 'kill $pids 2>/dev/null; wait' EXIT\n"
           << "./zul-cli simulate --link " << test::ShellQuote(root + "/tmp/com3")
           << " --timing fast >tester.out 2>&1 & pids=\"$pids $!\"\n"
           << "appear " << test::ShellQuote(root + "/tmp/com3") << " || echo 'the COM3 tester did not start'\n";
    for (std::size_t i = 0; i < examples.size(); ++i) {
        const std::string line = Replace(examples[i].line, "/tmp/", root + "/tmp/");
        // A background example replaces its shell, so that its process id is
        // the one to stop at the end.
        sandbox.Write("example" + std::to_string(i) + ".sh", (examples[i].background ? "exec " : "") + line + "\n");
        const std::string out = "example" + std::to_string(i) + ".out";
        if (examples[i].background) {
            script << "bash example" << i << ".sh >" << out << " 2>&1 & pids=\"$pids $!\"\n";
            const std::string made = MadePath(line);
            if (!made.empty()) script << "appear " << test::ShellQuote(made) << " || echo 'no " << made << "'\n";
        } else {
            script << "timeout 120 bash example" << i << ".sh <answers >" << out << " 2>&1; echo $? >example" << i
                   << ".rc\n";
        }
    }
    sandbox.Write("run.sh", script.str());
    std::string output;
    test::RunCommand("bash run.sh", root, &output);
    EXPECT_EQ(output, "");

    for (std::size_t i = 0; i < examples.size(); ++i) {
        if (examples[i].background) continue;
        const Example& e = examples[i];
        const std::string printed = sandbox.Read("example" + std::to_string(i) + ".out");
        const int rc = std::atoi(sandbox.Read("example" + std::to_string(i) + ".rc").c_str());
        const std::string promised = Promised(e.comment);
        // An example whose comment promises a failure message ends with it
        // (and a failing exit); every other one succeeds.
        const bool failure = e.comment.rfind("ends with", 0) == 0;
        EXPECT_EQ(rc != 0, failure) << e.line << "\n" << printed;
        if (!promised.empty()) {
            EXPECT_NE(printed.find(promised), std::string::npos) << e.line << "\n" << printed;
        }
    }
}

}  // namespace
}  // namespace zul
