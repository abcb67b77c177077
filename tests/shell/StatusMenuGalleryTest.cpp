#include "CoordinatorFixture.h"

#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

// The status menu in its states at scale 1 and 2: idle, a hot key held elsewhere, busy with
// pins shown.
TEST(StatusMenuGallery, States)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<GalleryTile> tiles;
        {
            CoordinatorFixture f;
            f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
            AppCoordinator& c = f.launch();
            c.statusMenu()->adjustSize();
            tiles.push_back({QStringLiteral("idle, no pins"), renderAtScale(*c.statusMenu(), scale)});
        }
        {
            CoordinatorFixture f;
            f.hotKeys->taken.insert({122, 0});
            f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
            AppCoordinator& c = f.launch();
            f.pins->states = {{QUuid::createUuid(), false}};
            c.refreshMenu();
            c.statusMenu()->adjustSize();
            tiles.push_back({QStringLiteral("F1 held elsewhere, one hidden pin"), renderAtScale(*c.statusMenu(), scale)});
        }
        {
            CoordinatorFixture f;
            f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
            AppCoordinator& c = f.launch();
            f.pins->states = {{QUuid::createUuid(), true}};
            c.setImportRunning(true);
            c.refreshMenu();
            c.statusMenu()->adjustSize();
            const QImage image = renderAtScale(*c.statusMenu(), scale);
            // The title of the toggle follows the visible pin; busy leaves it disabled.
            EXPECT_EQ(c.pinMenuItems().back()->text(), QStringLiteral("隐藏置顶图片"));
            EXPECT_FALSE(c.pinMenuItems().back()->isEnabled());
            tiles.push_back({QStringLiteral("busy importing, a pin shown"), image});
        }
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("status-menu-%1x").arg(int(scale)));
    }
}
