// Opening the settings window, from present() of a controller built and never shown to a
// pixel of its footer on the screen (read back from the root on a connection of our own), and
// reopening it after it was closed. Under Xvfb with openbox. The baseline in the same run: a
// bare QWidget of the window's size holding as many plain Qt controls with the same texts and
// fonts (loaded before anything is timed), shown until its footer's pixel shows the same
// colour. Reports open_ms and reopen_ms (medians of 15), bare_widgets_ms and
// ratio_vs_bare_widgets (open against the baseline).
#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsWindowController.h"
#include "app/settings/ShortcutService.h"
#include "platform/LocalFolderAccess.h"
#include "platform/UnavailableHotKeyRegistrar.h"
#include "RootProbe.h"
#include "X11Bench.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using vorlith::InterfaceColors;
using vorlith::InterfaceFonts;
using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::milliseconds;
using vorlith::bench::RootProbe;
using Weight = InterfaceFonts::Weight;

constexpr int iterations = 15;

// The point of the footer the benchmark watches, in global coordinates.
QPoint footerPoint(const QWidget& window)
{
    return window.mapToGlobal(QPoint(12, window.height() - 12));
}

// The baseline: the settings window's controls as plain Qt widgets, same texts and fonts.
std::unique_ptr<QWidget> bareWindow(int height)
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Vorlith 设置"));
    window->setFixedSize(540, height);
    int y = 10;
    const auto label = [&](QWidget* parent, const char* text, double size, Weight weight) {
        auto* l = new QLabel(QString::fromUtf8(text), parent);
        l->setFont(InterfaceFonts::system(size, weight));
        l->move(40, y);
        y += 22;
    };
    const auto button = [&](QWidget* parent, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), parent);
        b->setFont(InterfaceFonts::system(12));
        b->setGeometry(370, y, 118, 28);
        y += 30;
    };
    label(window.get(), "Vorlith", 14, Weight::semibold);
    label(window.get(), "面向日常办公的轻量屏幕助手", 12, Weight::regular);
    auto* area = new QScrollArea(window.get());
    area->setGeometry(0, 90, 540, height - 149);
    auto* body = new QWidget;
    body->resize(540, 600);
    y = 0;
    for (const char* text : {"快捷键", "截图快捷键", "点击右侧，然后按下新的快捷键", "图片置顶快捷键",
                             "置顶剪贴板中的图片，或在文件管理器中复制的图片文件", "默认快捷键 F1 ／ F2（部分键盘需配合 Fn）",
                             "保存", "默认格式", "默认位置", "用于新截图和置顶图片的首次保存", "通用",
                             "登录时自动启动 Vorlith", "登录电脑后自动启动，驻留系统托盘。", "自动检查更新",
                             "应用运行时，每24小时检查一次", "未开启；系统中关闭的登录项不会被自动重新开启。"})
        label(body, text, 12, Weight::regular);
    y = 0;
    for (const char* text : {"F1", "F2", "恢复默认", "pictures", "重试"})
        button(body, text);
    auto* format = new QComboBox(body);
    format->addItems({QStringLiteral("PNG"), QStringLiteral("JPEG")});
    format->setGeometry(370, 300, 118, 28);
    new QCheckBox(body);
    new QCheckBox(body);
    area->setWidget(body);
    auto* footer = new QWidget(window.get());
    footer->setGeometry(0, height - 59, 540, 59);
    QPalette palette = footer->palette();
    palette.setColor(QPalette::Window, InterfaceColors::settingsFooter());
    footer->setPalette(palette);
    footer->setAutoFillBackground(true);
    for (const char* text : {"取消", "保存设置"}) {
        auto* b = new QPushButton(QString::fromUtf8(text), footer);
        b->setFont(InterfaceFonts::system(12));
        b->setGeometry(text[0] == '\xe5' ? 357 : 440, 16, 74, 28);
    }
    auto* feedback = new QLabel(window.get());
    feedback->hide();
    return window;
}

// Shows a window (or calls `show`) and waits for its footer pixel; the time in milliseconds,
// or a negative value when it never came.
double timeToFooter(QWidget& window, const std::function<void()>& show, const RootProbe& probe)
{
    const auto start = Clock::now();
    show();
    if (!probe.waitFor([&] { return footerPoint(window); }, InterfaceColors::settingsFooter().rgb()))
        return -1;
    return milliseconds(Clock::now() - start);
}

// Hides a window and waits until the footer's place shows the root again.
void hideAndSettle(QWidget& window, const RootProbe& probe)
{
    const QPoint place = footerPoint(window);
    window.hide();
    probe.waitFor({place}, qRgb(0, 0, 0), std::chrono::seconds(2));
}

void BM_SettingsWindow(benchmark::State& state)
{
    RootProbe probe;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    vorlith::SettingsStore store;
    vorlith::ShortcutService shortcuts(std::make_shared<vorlith::UnavailableHotKeyRegistrar>());
    const int height = vorlith::SettingsWindowController::contentHeight(
        QGuiApplication::primaryScreen()->availableGeometry().height());

    // Fonts and styles loaded before anything is timed: one of each window shown once.
    {
        vorlith::SettingsWindowController warm(store, shortcuts, nullptr, nullptr,
                                               std::make_shared<vorlith::LocalFolderAccess>());
        timeToFooter(warm, [&] { warm.present(); }, probe);
        hideAndSettle(warm, probe);
        auto bare = bareWindow(height);
        timeToFooter(*bare, [&] { bare->show(); }, probe);
        hideAndSettle(*bare, probe);
    }

    std::vector<double> open, reopen, bare;
    for (auto _ : state) {
        for (int i = 0; i < iterations; ++i) {
            auto window = std::make_unique<vorlith::SettingsWindowController>(
                store, shortcuts, nullptr, nullptr, std::make_shared<vorlith::LocalFolderAccess>());
            const double first = timeToFooter(*window, [&] { window->present(); }, probe);
            hideAndSettle(*window, probe);
            const double again = timeToFooter(*window, [&] { window->present(); }, probe);
            hideAndSettle(*window, probe);
            auto plain = bareWindow(height);
            const double baseline = timeToFooter(*plain, [&] { plain->show(); }, probe);
            hideAndSettle(*plain, probe);
            if (first < 0 || again < 0 || baseline < 0) {
                state.SkipWithError("a footer never showed");
                return;
            }
            open.push_back(first);
            reopen.push_back(again);
            bare.push_back(baseline);
        }
        state.SetIterationTime(median(open) / 1000);
    }
    const double baseline = median(bare);
    state.counters["open_ms"] = median(open);
    state.counters["reopen_ms"] = median(reopen);
    state.counters["bare_widgets_ms"] = baseline;
    state.counters["ratio_vs_bare_widgets"] = baseline > 0 ? median(open) / baseline : 0;
    state.counters["reopen_ratio_vs_bare_widgets"] = baseline > 0 ? median(reopen) / baseline : 0;
}

BENCHMARK(BM_SettingsWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    if (!vorlith::bench::startXvfb(xvfb, vorlith::test::XvfbOptions::parse("monitors=1,wm=openbox"), "bench_settings_window"))
        return EXIT_FAILURE;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return vorlith::bench::runBenchmarks(argc, argv);
}
