// Figures for the script subsystem: building a catalogue of 2,000 scripts, and
// the download engine's pass that parses every statement of an application
// once per load statement (N + N^2 parses), for N = 999.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "script/application_catalogue.h"
#include "script/profile_document.h"
#include "script/statement_parser.h"
#include "support/platform.h"

namespace {

namespace fs = std::filesystem;

// A scratch directory for the whole run, removed at exit.
class Scratch {
public:
    Scratch() : path_(fs::temp_directory_path() / ("zul-bench-" + std::to_string(zul::CurrentProcessId()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string Make(const std::string& sub) const {
        fs::create_directories(path_ / sub);
        return (path_ / sub).string();
    }

private:
    fs::path path_;
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// N statements: every tenth a message, the others loads, half of them with an
// explicit size and half sized from their image file.
std::string ScriptText(const std::string& name, int statements) {
    std::string text = "[application]\nname=" + name + "\nversion=1.0\n[script]\nstartLine=s\nclosingLine=c\n";
    text += "numberOfStatements=" + std::to_string(statements) + "\n";
    for (int i = 1; i <= statements; ++i) {
        text += "stmt" + std::to_string(i) + "=";
        if (i % 10 == 0)
            text += "!Message number " + std::to_string(i);
        else if (i % 2 == 0)
            text += "img" + std::to_string(i % 7) + ".bin " + std::to_string(0x10000 + i) + " 400 -FLASH -b";
        else
            text += "img" + std::to_string(i % 7) + ".bin -RAM";
        text += "\n";
    }
    return text;
}

std::string ImageDir() {
    static const std::string dir = [] {
        std::string d = TheScratch().Make("images");
        for (int i = 0; i < 7; ++i) WriteFile(d + "/img" + std::to_string(i) + ".bin", std::string(1024 + 128 * i, 'x'));
        return d;
    }();
    return dir;
}

void BM_BuildCatalogue(benchmark::State& state) {
    const int scripts = static_cast<int>(state.range(0));
    const std::string dir = TheScratch().Make("catalogue-" + std::to_string(scripts));
    for (int i = 0; i < scripts; ++i)
        WriteFile(dir + "/app" + std::to_string(i) + ".qob",
                  zul::ComplementBytes(ScriptText("Application " + std::to_string(i), 20)));
    for (auto _ : state) {
        auto catalogue = zul::BuildCatalogue(dir, ImageDir(), "qob");
        benchmark::DoNotOptimize(catalogue->CatalogueCount());
    }
    state.counters["scripts"] = scripts;
}
BENCHMARK(BM_BuildCatalogue)->Arg(2000)->Unit(benchmark::kMillisecond);

std::unique_ptr<zul::ApplicationRecord> BigApplication(int statements) {
    const std::string dir = TheScratch().Make("big");
    const std::string path = dir + "/big" + std::to_string(statements) + ".qob";
    if (!fs::exists(path)) WriteFile(path, zul::ComplementBytes(ScriptText("Big", statements)));
    return zul::LoadApplication(path, ImageDir());
}

// The download of one application: each statement parsed once by the dialog,
// and for each load statement the engine parses all N to total the sizes.
long long DownloadPass(zul::ApplicationRecord& record) {
    long long total = 0;
    for (int n = 0; n < record.statementCount; ++n) {
        if (zul::ParseStatement(record, n) != zul::StatementResult::STMT_LOAD) continue;
        for (int m = 0; m < record.statementCount; ++m)
            if (zul::ParseStatement(record, m) == zul::StatementResult::STMT_LOAD)
                total += record.currentStatement.imageSize;
        zul::ParseStatement(record, n);
    }
    return total;
}

void BM_DownloadPassHeld(benchmark::State& state) {
    auto record = BigApplication(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        zul::ScriptHold hold(*record);
        benchmark::DoNotOptimize(DownloadPass(*record));
    }
}
BENCHMARK(BM_DownloadPassHeld)->Arg(999)->Unit(benchmark::kMillisecond);

// Without a hold every parse reads the script again: one full pass over N
// statements, and the squared pass for a smaller N to show the growth.
void BM_ParseEveryStatementOnce(benchmark::State& state) {
    auto record = BigApplication(static_cast<int>(state.range(0)));
    for (auto _ : state)
        for (int n = 0; n < record->statementCount; ++n) benchmark::DoNotOptimize(zul::ParseStatement(*record, n));
}
BENCHMARK(BM_ParseEveryStatementOnce)->Arg(999)->Unit(benchmark::kMillisecond);

void BM_DownloadPassUnheld(benchmark::State& state) {
    auto record = BigApplication(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(DownloadPass(*record));
}
BENCHMARK(BM_DownloadPassUnheld)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ParseAllStatements(benchmark::State& state) {
    auto record = BigApplication(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(zul::ParseAllStatements(*record).size());
}
BENCHMARK(BM_ParseAllStatements)->Arg(999)->Unit(benchmark::kMillisecond);

void BM_ParseStatementLine(benchmark::State& state) {
    zul::ApplicationRecord record;
    record.imageDir = "/nonexistent";
    for (auto _ : state) benchmark::DoNotOptimize(zul::ParseStatementLine(record, "app.bin 10000 8000 -FLASH -b -r"));
}
BENCHMARK(BM_ParseStatementLine);

}  // namespace

BENCHMARK_MAIN();
