// Folding many long names to one core: a run of N files whose names differ only in the part the
// fold drops (camera names with one long common tail) gives them the counters 1 to N. Each file
// is created once it is named, as the run writes it. "Remembered" is the run's namer, which does
// not ask again about counters it found taken; "FromOne" names every file with a fresh namer,
// counting from 1 each time, which is what every fold did before (N x N / 2 questions).
#include "engine/naming.h"
#include "platform/path_text.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

namespace corvane {
namespace {

void FoldNames(benchmark::State& state, bool remember) {
    const int count = static_cast<int>(state.range(0));
    BatchSettings settings;
    settings.nameLengthLimit = 40;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        settings.savePath = folder.path() + kSeparator;
        OutputNamer runNamer(settings);
        state.ResumeTiming();
        for (int i = 0; i < count; ++i) {
            const QString stem = QStringLiteral("IMG_%1_holiday_at_the_seaside_with_everyone")
                                     .arg(i, 11, 10, QChar(u'0'));
            const QString source = settings.savePath + stem + QStringLiteral(".PNG");
            const QString folded = remember ? runNamer.FoldLongName(source, true)
                                            : OutputNamer(settings).FoldLongName(source, true);
            const QByteArray native = QFile::encodeName(folded);
            const int fd = ::open(native.constData(), O_CREAT | O_EXCL | O_WRONLY, 0644);
            if (fd < 0) {
                state.SkipWithError("a folded name was taken");
                break;
            }
            ::close(fd);
        }
        state.PauseTiming();
        folder.remove();
        state.ResumeTiming();
    }
    state.counters["names"] = count;
}

void BM_FoldRemembered(benchmark::State& state) {
    FoldNames(state, true);
}
BENCHMARK(BM_FoldRemembered)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_FoldFromOne(benchmark::State& state) {
    FoldNames(state, false);
}
BENCHMARK(BM_FoldFromOne)->Arg(1000)->Arg(4000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane
