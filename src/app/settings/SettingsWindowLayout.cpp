// The settings window's build and layout: y-up frames in points, as designed, turned into Qt
// geometry by UnflippedFrame. The session's logic is in SettingsWindowController.cpp.
#include "app/settings/SettingsWindowController.h"

#include "app/base/AppIcon.h"
#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/LightPalette.h"
#include "app/base/UnflippedFrame.h"
#include "app/base/panel/BrandSwitch.h"
#include "app/base/panel/PanelFooterView.h"
#include "app/base/panel/PanelPopUpButton.h"
#include "app/base/panel/PanelPrimaryButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/base/panel/PanelSymbols.h"
#include "app/output/ImageFormat.h"
#include "app/settings/PlainTextButton.h"
#include "app/settings/SettingsBody.h"
#include "app/settings/ShortcutAction.h"
#include "app/settings/ShortcutRecorder.h"
#include "app/settings/ShortcutService.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

#include <cmath>

namespace vorlith {

namespace {

using Weight = InterfaceFonts::Weight;

constexpr double bodyHeight = 600;
constexpr double noticeHeight = 44;
constexpr double footerHeight = 59;
constexpr double headerHeight = 90; // from the top edge to the scroll view
constexpr double feedbackStrip = 44;

QLabel* makeLabel(QWidget* parent, const QString& text, double size, Weight weight, const QColor& color,
                  bool wraps = false)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(InterfaceFonts::system(size, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setWordWrap(wraps);
    return label;
}

QLabel* makeTitle(QWidget* parent, const QString& text)
{
    return makeLabel(parent, text, 12, Weight::semibold, InterfaceColors::ink());
}

QLabel* makeHint(QWidget* parent, const QString& text, bool wraps)
{
    return makeLabel(parent, text, 11, Weight::regular, InterfaceColors::secondary(), wraps);
}

// A label's natural height at a width, rounded up.
double naturalHeight(const QLabel* label, double width)
{
    const int natural = label->wordWrap() ? label->heightForWidth(int(width)) : label->sizeHint().height();
    return std::ceil(double(natural));
}

// The text pair: two labels stacked under `top`, 5 apart; answers the pair's centre.
double placeTextPair(QLabel* first, double x1, double w1, QLabel* second, double x2, double w2, double top)
{
    const double h1 = naturalHeight(first, w1);
    const double h2 = naturalHeight(second, w2);
    UnflippedFrame::place(first, Rect(x1, top - h1, w1, h1));
    UnflippedFrame::place(second, Rect(x2, top - h1 - 5 - h2, w2, h2));
    return (top + (top - h1 - 5 - h2)) / 2;
}

// The top of a pair whose centre is `centre`.
double pairTopFor(const QLabel* first, double w1, const QLabel* second, double w2, double centre)
{
    return centre + (naturalHeight(first, w1) + 5 + naturalHeight(second, w2)) / 2;
}

Rect separatorAt(double y)
{
    return Rect(28.5, y, 483, 0.5);
}

// A switch at its fitting size, its right edge at x 488, centred on `centre`.
void placeSwitch(BrandSwitch* toggle, double centre)
{
    const QSize size = toggle->sizeHint();
    UnflippedFrame::place(toggle, Rect(488 - size.width(), centre - size.height() / 2.0, size.width(), size.height()));
}

} // namespace

int SettingsWindowController::contentHeight(std::optional<int> availableHeight)
{
    if (!availableHeight)
        return fullHeight;
    return std::max(0, std::min(fullHeight, *availableHeight - 60));
}

void SettingsWindowController::buildWindow()
{
    setWindowTitle(QStringLiteral("Vorlith 设置"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    applyLightPalette(*this);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, InterfaceColors::settingsBody());
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(contentWidth, fullHeight);

    buildHeaderAndFooter();
    m_scrollBody = new SettingsBody;
    m_scrollBody->resize(contentWidth, int(bodyHeight));
    buildShortcutGroup();
    buildSaveGroup();
    buildGeneralGroup();

    m_scrollView = new QScrollArea(this);
    m_scrollView->setFrameShape(QFrame::NoFrame);
    // Tab goes through the controls, never to the scroll area itself.
    m_scrollView->setFocusPolicy(Qt::NoFocus);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setWidget(m_scrollBody);
    // The viewport fills itself with the window's colour, so the body is drawn on an opaque
    // ground wherever it is rendered.
    m_scrollView->viewport()->setBackgroundRole(QPalette::Window);
    m_scrollView->viewport()->setAutoFillBackground(true);
    m_scrollView->lower();

    buildKeyboard();
    fitToScreen();
}

void SettingsWindowController::buildHeaderAndFooter()
{
    m_footer = new PanelFooterView(this);
    m_cancel = new PanelSecondaryButton(QStringLiteral("取消"), this);
    m_save = new PanelPrimaryButton(QStringLiteral("保存设置"), this);
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancelSettings(); });
    connect(m_save, &QPushButton::clicked, this, [this] { saveSettings(); });

    m_feedback = makeLabel(this, QString(), 10, Weight::regular, InterfaceColors::secondary(), true);
    m_feedback->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_feedback->hide();

    m_icon = new QLabel(this);
    QPixmap icon = QPixmap::fromImage(appIcon());
    icon.setDevicePixelRatio(icon.width() / 48.0);
    m_icon->setPixmap(icon);
    m_icon->setScaledContents(false);
    m_name = makeLabel(this, QStringLiteral("Vorlith"), 14, Weight::semibold, InterfaceColors::ink());
    m_tagline =
        makeLabel(this, QStringLiteral("面向日常办公的轻量屏幕助手"), 12, Weight::regular, InterfaceColors::secondary());
}

void SettingsWindowController::placeFixedParts()
{
    const double h = height();
    // The header keeps its distance to the top edge: its frames are written for 748.
    const double shift = h - fullHeight;
    UnflippedFrame::place(m_icon, Rect(28, 665 + shift, 48, 48));
    placeTextPair(m_name, 90, 420, m_tagline, 90, 420, pairTopFor(m_name, 420, m_tagline, 420, 689 + shift));
    // The footer keeps its distance to the bottom edge.
    UnflippedFrame::place(m_footer, Rect(0, 0, contentWidth, footerHeight));
    UnflippedFrame::place(m_cancel, Rect(357, 15, 74, 28));
    UnflippedFrame::place(m_save, Rect(440, 15, 74, 28));
    UnflippedFrame::place(m_feedback, Rect(28, 67, 484, 36));
}

void SettingsWindowController::buildShortcutGroup()
{
    SettingsBody* body = m_scrollBody;
    UnflippedFrame::place(makeTitle(body, QStringLiteral("快捷键")), Rect(28, 569, 100, 24));
    body->boxes.push_back(Rect(28, 370, 484, 195));

    const auto recorderRow = [&](const QString& title, const QString& hint, double centre, ShortcutRecorder*& field,
                                 double recorderY, ShortcutAction action) {
        QLabel* titleLabel = makeTitle(body, title);
        QLabel* hintLabel = makeHint(body, hint, true);
        placeTextPair(titleLabel, 44, 310, hintLabel, 44, 310, pairTopFor(titleLabel, 310, hintLabel, 310, centre));
        field = new ShortcutRecorder(body);
        field->setAccessibleName(title);
        field->keyLookup = {[this](quint16 id) { return m_shortcutService.keyCodeForEditorKeyID(id); },
                            [this](quint16 id) { return m_shortcutService.keyCharacters(id); }};
        field->onChange = [self = QPointer(this), action](const ShortcutSpec& spec) {
            if (!self)
                return;
            (action == ShortcutAction::capture ? self->m_draft.shortcut : self->m_draft.pinShortcut) = spec;
        };
        UnflippedFrame::place(field, Rect(370, recorderY, 118, 28));
    };
    recorderRow(QStringLiteral("截图快捷键"), QStringLiteral("点击右侧，然后按下新的快捷键"), 529.5, m_recorder, 515.5,
                ShortcutAction::capture);
    body->separators.push_back(separatorAt(494));
    recorderRow(QStringLiteral("图片置顶快捷键"), QStringLiteral("置顶剪贴板中的图片，或在文件管理器中复制的图片文件"), 452,
                m_pinRecorder, 438, ShortcutAction::pin);

    QLabel* note = makeHint(body, QStringLiteral("默认快捷键 F1 ／ F2（部分键盘需配合 Fn）"), false);
    UnflippedFrame::place(note, Rect(44, 382, 330, 24));
    m_reset = new PlainTextButton(QStringLiteral("恢复默认"), InterfaceColors::secondary(), body);
    m_reset->setFont(note->font());
    connect(m_reset, &QPushButton::clicked, this, [this] { resetKey(); });
    // Both draw their text centred on their height: the same centre puts the title on the
    // note's line.
    const Rect noteFrame = UnflippedFrame::of(note);
    UnflippedFrame::place(m_reset, Rect(434, noteFrame.midY() - 12, 54, 24));
}

void SettingsWindowController::buildSaveGroup()
{
    SettingsBody* body = m_scrollBody;
    UnflippedFrame::place(makeTitle(body, QStringLiteral("保存")), Rect(28, 327, 100, 24));
    body->boxes.push_back(Rect(28, 203, 484, 121));

    QLabel* formatLabel = makeTitle(body, QStringLiteral("默认格式"));
    UnflippedFrame::place(formatLabel, Rect(44, 281, 180, 24));
    m_format = new PanelPopUpButton(body);
    for (ImageFormat f : {ImageFormat::png, ImageFormat::jpeg})
        m_format->addItem(rawValue(f));
    connect(m_format, &QComboBox::activated, this, [this] { changeFormat(); });
    UnflippedFrame::place(m_format, Rect(370, 281, 118, 28));
    body->separators.push_back(separatorAt(261));

    QLabel* folderLabel = makeTitle(body, QStringLiteral("默认位置"));
    QLabel* folderHint = makeHint(body, QStringLiteral("用于新截图和置顶图片的首次保存"), false);
    const double centre = placeTextPair(folderLabel, 44, 180, folderHint, 44, 300, 251);
    m_directory = new PanelSecondaryButton(QString(), body);
    m_directory->setImage(panelSymbols::folder());
    m_directory->setImagePosition(PanelSecondaryButton::ImagePosition::leading);
    connect(m_directory, &QPushButton::clicked, this, [this] { chooseFolder(); });
    UnflippedFrame::place(m_directory, Rect(370, centre - 14, 118, 28));
}

void SettingsWindowController::buildGeneralGroup()
{
    SettingsBody* body = m_scrollBody;
    UnflippedFrame::place(makeTitle(body, QStringLiteral("通用")), Rect(28, 160, 100, 24));
    m_generalGroup = body->boxes.size();
    body->boxes.push_back(Rect(28, 21, 484, 132));

    // A row of a title and a hint (a text pair under `top`) with a switch on its right.
    const auto switchRow = [&](const QString& title, double titleWidth, const QString& hint, double hintWidth,
                               double top, const QString& label, void (SettingsWindowController::*action)()) {
        QLabel* titleLabel = makeTitle(body, title);
        QLabel* hintLabel = makeHint(body, hint, false);
        const double centre = placeTextPair(titleLabel, 44, titleWidth, hintLabel, 44, hintWidth, top);
        auto* toggle = new BrandSwitch(body);
        toggle->setAccessibilityLabel(label);
        toggle->onAction = [this, action](BrandSwitch&) { (this->*action)(); };
        placeSwitch(toggle, centre);
        return toggle;
    };
    m_loginSwitch = switchRow(QStringLiteral("登录时自动启动 Vorlith"), 330, QStringLiteral("登录电脑后自动启动，驻留系统托盘。"),
                              330, 137, QStringLiteral("登录时启动"), &SettingsWindowController::changeLogin);
    const bool hasLoginService = m_loginService != nullptr;
    m_loginSwitch->acceptsUserChanges = hasLoginService;
    m_loginSwitch->presentation().setEnabled(hasLoginService);
    body->separators.push_back(separatorAt(87));
    m_updateSwitch = switchRow(QStringLiteral("自动检查更新"), 300, QStringLiteral("应用运行时，每24小时检查一次"), 350, 71,
                               QStringLiteral("自动检查更新"), &SettingsWindowController::changeUpdates);

    m_loginStatus = makeLabel(body, QString(), 10, Weight::regular, InterfaceColors::secondary(), true);
    m_loginStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    UnflippedFrame::place(m_loginStatus, Rect(44, 26, 366, 34));
    m_loginRetry = new PanelSecondaryButton(QStringLiteral("重试"), body);
    m_loginRetry->setToolTip(QStringLiteral("保存设置时重试开启登录项"));
    m_loginRetry->setEnabled(hasLoginService);
    connect(m_loginRetry, &QPushButton::clicked, this, [this] { retryLogin(); });
    UnflippedFrame::place(m_loginRetry, Rect(422, 29, 66, 28));
    m_loginStatus->hide();
    m_loginRetry->hide();
}

void SettingsWindowController::buildKeyboard()
{
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* save = new QShortcut(key, this);
        connect(save, &QShortcut::activated, this, [this] { saveSettings(); });
    }
    auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(cancel, &QShortcut::activated, this, [this] { cancelSettings(); });

    // Tab goes through the rows, then Cancel and Save.
    const QWidget* order[] = {m_recorder, m_pinRecorder, m_reset, m_format, m_directory,
                              m_loginSwitch, m_loginRetry, m_updateSwitch, m_cancel, m_save};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void SettingsWindowController::fitToScreen()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int h = contentHeight(screen ? std::optional<int>(screen->availableGeometry().height()) : std::nullopt);
    setContentHeight(h);
    if (screen) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(contentWidth / 2, h / 2));
    }
}

void SettingsWindowController::setContentHeight(int height)
{
    setFixedSize(contentWidth, height);
    placeFixedParts();
    resizeForNotices();
}

Rect SettingsWindowController::generalGroup() const
{
    return m_scrollBody->boxes.at(m_generalGroup);
}

void SettingsWindowController::layoutLoginNotice(bool visible)
{
    if (visible == m_loginNoticeExpanded)
        return;
    m_loginNoticeExpanded = visible;
    const double d = visible ? noticeHeight : -noticeHeight;
    // Everything in the body moves up by d, except the strip's own status and button; the
    // "通用" box moves back down and grows by d, so it takes the strip in.
    for (QObject* object : m_scrollBody->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child == m_loginStatus || child == m_loginRetry)
            continue;
        UnflippedFrame::place(child, UnflippedFrame::of(child).offsetBy(0, d));
    }
    for (Rect& box : m_scrollBody->boxes)
        box = box.offsetBy(0, d);
    for (Rect& line : m_scrollBody->separators)
        line = line.offsetBy(0, d);
    Rect& general = m_scrollBody->boxes.at(m_generalGroup);
    general = Rect(general.origin.x, general.origin.y - d, general.width(), general.height() + d);
    resizeForNotices();
}

void SettingsWindowController::resizeForNotices()
{
    const double body = m_loginNoticeExpanded ? bodyHeight + noticeHeight : bodyHeight;
    if (m_scrollBody->height() != int(body)) {
        m_scrollBody->resize(contentWidth, int(body));
        UnflippedFrame::replaceChildren(m_scrollBody);
    }
    m_scrollBody->update();
    const double f = m_feedbackExpanded ? feedbackStrip : 0;
    const double scrollHeight = std::max(0.0, height() - footerHeight - headerHeight - f);
    UnflippedFrame::place(m_scrollView, Rect(0, footerHeight + f, contentWidth, scrollHeight));
}

void SettingsWindowController::alignLoginStatus()
{
    const double h = std::min(34.0, naturalHeight(m_loginStatus, 366));
    const Rect retry = UnflippedFrame::of(m_loginRetry);
    UnflippedFrame::place(m_loginStatus, Rect(44, retry.midY() - h / 2, 366, h));
}

} // namespace vorlith
