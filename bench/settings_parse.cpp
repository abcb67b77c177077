// Reading a crafted settings file of about 1 MiB that is one object of many keys: our read
// (the plain JSON type) against parsing the same bytes with the ordered type, whose object
// insertion searches all keys so far. Reports speedup_vs_ordered (ordered / ours, medians).
#include "app/settings/SettingsFile.h"
#include "core/Json.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

QByteArray manyKeys()
{
    QByteArray bytes = "{";
    for (int i = 0; bytes.size() < vorlith::settingsFile::maximumSize - 64; ++i)
        bytes += "\"k" + QByteArray::number(i) + "\":0,";
    return bytes + "\"schemaVersion\":3}";
}

void BM_SettingsParse(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const QByteArray bytes = manyKeys();
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();

    std::vector<double> ours;
    std::vector<double> ordered;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(vorlith::settingsFile::read(path));
        const double ourSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        ours.push_back(ourSeconds);
        state.SetIterationTime(ourSeconds);

        start = Clock::now();
        benchmark::DoNotOptimize(vorlith::json::parse(bytes.toStdString()));
        ordered.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["ours_ms"] = median(ours) * 1000;
    state.counters["ordered_ms"] = median(ordered) * 1000;
    state.counters["speedup_vs_ordered"] = median(ours) > 0 ? median(ordered) / median(ours) : 0;
}

BENCHMARK(BM_SettingsParse)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
