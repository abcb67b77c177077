#include "app/base/AlertDialog.h"

#include "app/base/AppIcon.h"
#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/LightPalette.h"
#include "app/base/panel/PanelPrimaryButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/base/panel/PanelWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>

namespace vorlith {

namespace {

constexpr int sideMargin = 20;
constexpr int iconSize = 64;
constexpr int iconSpacing = 16;

QLabel* makeText(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    QLabel* label = makePanelLabel(parent, text, font, color);
    label->setWordWrap(true);
    return label;
}

} // namespace

AlertDialog::AlertDialog(const Alert& alert, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Vorlith"));
    setModal(true);
    setWindowModality(Qt::ApplicationModal);
    applyLightPalette(*this);
    QPalette ground = palette();
    ground.setColor(QPalette::Window, InterfaceColors::panelBody());
    setPalette(ground);
    setAutoFillBackground(true);

    auto* icon = new QLabel(this);
    QPixmap pixmap = QPixmap::fromImage(appIcon().scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(2);
    icon->setPixmap(pixmap);
    icon->setFixedSize(iconSize, iconSize);
    icon->setAlignment(Qt::AlignTop);

    m_message = makeText(alert.message, InterfaceFonts::system(13, InterfaceFonts::Weight::semibold),
                         InterfaceColors::ink(), this);
    m_informative = makeText(alert.informativeText, InterfaceFonts::system(11), InterfaceColors::secondary(), this);
    m_informative->setVisible(!alert.informativeText.isEmpty());

    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(m_message);
    texts->addWidget(m_informative);
    m_accessory = alert.accessory;
    if (alert.accessory)
        texts->addWidget(alert.accessory);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(iconSpacing);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("好")} : alert.buttons;
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addStretch(1);
    for (qsizetype i = titles.size() - 1; i >= 0; --i) {
        QPushButton* button = i == 0 ? static_cast<QPushButton*>(new PanelPrimaryButton(titles[i], this))
                                     : new PanelSecondaryButton(titles[i], this);
        button->setFont(InterfaceFonts::system(12));
        button->setMinimumSize(80, 28);
        button->setAutoDefault(false);
        button->setDefault(i == 0);
        const int answer = Alert::firstButton + int(i);
        connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
        row->addWidget(button);
        m_buttons.prepend(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(sideMargin, 20, sideMargin, 16);
    layout->setSpacing(18);
    layout->addLayout(top);
    layout->addLayout(row);

    // An accessory wider than the text column widens the alert rather than being cut off.
    const int column =
        alert.accessory ? alert.accessory->minimumSizeHint().expandedTo(alert.accessory->minimumSize()).width() : 0;
    setFixedWidth(std::max(preferredWidth, 2 * sideMargin + iconSize + iconSpacing + column));
}

AlertDialog::~AlertDialog()
{
    if (m_accessory) {
        m_accessory->hide();
        m_accessory->setParent(nullptr);
    }
}

void AlertDialog::reject()
{
    done(Alert::firstButton + int(m_buttons.size()) - 1);
}

void AlertDialog::done(int result)
{
    m_response = result;
    QDialog::done(result);
}

} // namespace vorlith
