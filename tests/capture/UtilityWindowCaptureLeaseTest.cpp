#include "app/capture/UtilityWindowCaptureLease.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A top-level window that notes the order in which windows are shown.
class RecordingWindow : public QWidget {
public:
    RecordingWindow(QString name, QStringList* shown) : m_name(std::move(name)), m_shown(shown)
    {
        setWindowTitle(m_name);
        resize(200, 120);
        auto* layout = new QVBoxLayout(this);
        first = new QLineEdit(this);
        second = new QLineEdit(this);
        layout->addWidget(first);
        layout->addWidget(second);
    }
    QLineEdit* first;
    QLineEdit* second;

protected:
    void showEvent(QShowEvent*) override { *m_shown << m_name; }

private:
    QString m_name;
    QStringList* m_shown;
};

bool activate(QWidget* window, QWidget* focus)
{
    window->activateWindow();
    focus->setFocus();
    return runUntil([&] { return window->isActiveWindow() && QApplication::focusWidget() == focus; });
}

} // namespace

TEST(UtilityWindowCaptureLease, HidesTheVisibleWindowsAndRestoresKeyAndFocus)
{
    QStringList shown;
    auto settings = std::make_unique<RecordingWindow>("settings", &shown);
    auto about = std::make_unique<RecordingWindow>("about", &shown);
    auto update = std::make_unique<RecordingWindow>("update", &shown); // never shown
    settings->show();
    about->show();
    ASSERT_TRUE(activate(settings.get(), settings->second));
    shown.clear();

    UtilityWindowCaptureLease lease({settings.get(), nullptr, update.get(), about.get()});
    EXPECT_EQ(lease.windows(), (std::vector<QWidget*>{settings.get(), about.get()}));
    EXPECT_EQ(lease.keyWindow(), settings.get());
    EXPECT_EQ(lease.responder(), settings->second);
    EXPECT_FALSE(settings->isVisible());
    EXPECT_FALSE(about->isVisible());
    EXPECT_FALSE(update->isVisible());

    // Something else takes the focus while the capture runs.
    about->first->setFocus();
    lease.restore();
    EXPECT_EQ(shown, (QStringList{"about", "settings"})) << "last first, so the first ends on top";
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(update->isVisible()) << "an invisible window is neither hidden nor shown";
    EXPECT_TRUE(runUntil([&] { return settings->isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), settings->second);
    EXPECT_TRUE(lease.restored());

    settings->hide();
    lease.restore();
    EXPECT_FALSE(settings->isVisible()) << "a second restore does nothing";
}

TEST(UtilityWindowCaptureLease, WindowsClosedMeanwhileAreNotBroughtBack)
{
    QStringList shown;
    auto settings = std::make_unique<RecordingWindow>("settings", &shown);
    auto about = std::make_unique<RecordingWindow>("about", &shown);
    settings->show();
    about->show();
    ASSERT_TRUE(activate(about.get(), about->first));

    UtilityWindowCaptureLease lease({settings.get(), about.get()});
    EXPECT_EQ(lease.keyWindow(), about.get());
    about.reset(); // the key window closes during the capture
    shown.clear();
    lease.restore();
    EXPECT_EQ(shown, QStringList{"settings"});
    EXPECT_EQ(lease.keyWindow(), nullptr);
    EXPECT_EQ(lease.windows(), (std::vector<QWidget*>{settings.get(), nullptr}));
}

TEST(UtilityWindowCaptureLease, NoKeyWindowWhenNoneOfThemHadTheKeyboard)
{
    QStringList shown;
    auto elsewhere = std::make_unique<RecordingWindow>("elsewhere", &shown);
    auto about = std::make_unique<RecordingWindow>("about", &shown);
    elsewhere->show();
    about->show();
    ASSERT_TRUE(activate(elsewhere.get(), elsewhere->first));

    UtilityWindowCaptureLease lease({about.get()});
    EXPECT_EQ(lease.keyWindow(), nullptr);
    EXPECT_EQ(lease.responder(), nullptr);
    lease.restore();
    EXPECT_TRUE(about->isVisible());
}
