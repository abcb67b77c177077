#include "FuzzTargets.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Target {
    const char* name; // its corpus folder
    std::function<void(const std::uint8_t*, std::size_t)> run;
};

const Target targets[] = {
    {"png_chunks", vorlith::fuzz::pngChunks},
    {"image_probe", vorlith::fuzz::imageProbe},
    {"image_decode", vorlith::fuzz::imageDecode},
    {"settings_read", vorlith::fuzz::settingsRead},
};

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

} // namespace

// A target aborts on a broken invariant, and the sanitizer build stops at any memory fault:
// every seed (the PNG bomb and the hostile settings files among them) runs through it.
TEST_P(FuzzCorpus, EverySeedRunsThroughItsTarget)
{
    const Target& target = GetParam();
    const QDir corpus(QStringLiteral(VORLITH_FUZZ_CORPUS "/") + QLatin1String(target.name));
    const QStringList seeds = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(seeds.isEmpty()) << "no seeds in " << corpus.path().toStdString();
    for (const QString& seed : seeds) {
        SCOPED_TRACE(seed.toStdString());
        QFile file(corpus.filePath(seed));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        target.run(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(targets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });
