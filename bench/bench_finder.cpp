// The file finder over 20 000 files in 2 000 folders (10 files each, folders two levels deep), next to
// find(1) listing the same tree in the same run. Both see a warm cache: each runs once before timing.
//
//   cmake --preset bench && cmake --build --preset bench --target bench_finder
//   build/bench/bin/bench_finder

#include "backup/FileFinder.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tessa;

namespace {

constexpr int kTopFolders = 40;
constexpr int kFoldersEach = 50; // 40 x 50 = 2 000 folders below the top ones
constexpr int kFilesEach = 10;

const QString& tree() {
    static QTemporaryDir dir;
    static const QString root = [] {
        for (int top = 0; top < kTopFolders; ++top)
            for (int sub = 0; sub < kFoldersEach; ++sub) {
                const QString folder = dir.filePath(QStringLiteral("%1/%2").arg(200001 + top).arg(sub));
                QDir().mkpath(folder);
                for (int f = 0; f < kFilesEach; ++f) {
                    QFile file(folder + QStringLiteral("/20000101%1%2-I-%3.wav")
                                            .arg(sub, 2, 10, QLatin1Char('0'))
                                            .arg(f, 4, 10, QLatin1Char('0'))
                                            .arg(top));
                    file.open(QIODevice::WriteOnly);
                    file.write("RIFF");
                }
            }
        return dir.path();
    }();
    return root;
}

size_t findAll(bool sizes) {
    FileFinder::Options options;
    options.sizes = sizes;
    FileFinder finder(options);
    finder.setRoot(tree() + "/", true);
    finder.search(QStringLiteral("*.*"), true, false);
    return finder.results().size();
}

// As the import and the repair walk: names only, sizes not taken.
void Finder(benchmark::State& state) {
    size_t found = 0;
    for (auto _ : state) {
        found = findAll(false);
        benchmark::DoNotOptimize(found);
    }
    state.counters["files"] = double(found);
}
BENCHMARK(Finder)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// With every file's size, next to find -printf '%s'.
void FinderWithSizes(benchmark::State& state) {
    size_t found = 0;
    for (auto _ : state) {
        found = findAll(true);
        benchmark::DoNotOptimize(found);
    }
    state.counters["files"] = double(found);
}
BENCHMARK(FinderWithSizes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void FindCommand(benchmark::State& state) {
    const QByteArray command = "find '" + tree().toLocal8Bit() + "' -type f > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.constData()));
}
BENCHMARK(FindCommand)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// find with a stat of every entry, as the finder does to tell files, folders and special files apart and
// to give each file its size.
void FindCommandWithSizes(benchmark::State& state) {
    const QByteArray command = "find '" + tree().toLocal8Bit() + "' -type f -printf '%s\\n' > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.constData()));
}
BENCHMARK(FindCommandWithSizes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    tree(); // made before any timing
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
