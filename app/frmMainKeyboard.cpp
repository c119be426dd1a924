// Every command within reach of the keyboard, and every element named for a screen
// reader: the Tab order of the hot zones, their shortcuts, their accessible roles,
// names and descriptions, and the banner's status in words.

#include "frmMain.h"

#include "ui/FileLine.h"
#include "ui/Placement.h"
#include "ui/PopupMenus.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinAccessible.h"
#include "ui/SkinImage.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <QTimer>

namespace {

struct ToolButtonText {
    const char* caption;
    const char* description;
};
constexpr std::array<ToolButtonText, layout::kToolButtonCount> kToolButtons{{
    {"添加", "选择要转换的视频文件"},
    {"移除", "移除已加载的文件"},
    {"转换", "把已加载的文件转换为 3GP 文件"},
    {"设置", "打开转换设置"},
    {"帮助", "打开帮助说明"},
    {"退出", "退出程序"},
}};
constexpr std::array<const char*, layout::kMenuItemCount> kMenuCaptions{"文件", "工具", "选项", "关于"};
// The access letters the menu strip draws beside its captions.
constexpr std::array<Qt::Key, layout::kMenuItemCount> kMenuLetters{Qt::Key_F, Qt::Key_T, Qt::Key_S, Qt::Key_A};

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

// An Alt press closes an open menu. With a screen reader listening, key events
// take a round trip to it before they arrive, and the Alt of the very Alt+letter
// that opened a menu can then arrive after the menu has opened, and close it at
// once. A menu opened from the keyboard lets Esc close it, and takes no Alt.
class AltIgnored : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
        return key && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt;
    }
};

void nameControl(QWidget* control, QAccessible::Role role, const QString& name, const QString& description = {})
{
    skin::setAccessibleRole(control, role);
    control->setAccessibleName(name);
    if (!description.isEmpty())
        control->setAccessibleDescription(description);
}

// A shortcut of the window that lives on its element: disabled with it, so it is
// refused exactly where a click on the element is.
QShortcut* shortcutOn(QWidget* element, const QKeySequence& keys)
{
    auto* shortcut = new QShortcut(keys, element);
    shortcut->setContext(Qt::WindowShortcut);
    if (!element->property("skinShortcut").isValid())
        element->setProperty("skinShortcut", keys);
    return shortcut;
}

}  // namespace

void frmMain::connectKeyboard()
{
    skin::installAccessibility();

    // The banner's words lie under the settings panel, as the banner does, and take
    // no pointer events: a press there is a press on the window's surface.
    bannerStatus = new QWidget(this);
    bannerStatus->setObjectName(QStringLiteral("bannerStatus"));
    bannerStatus->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(bannerStatus, layout::kBannerFrame);
    bannerStatus->stackUnder(picSetting);
    nameControl(bannerStatus, QAccessible::StatusBar, QString());
    nameControl(lblFile, QAccessible::StaticText, QStringLiteral("未加载文件"));
    connect(this, &QWidget::windowTitleChanged, this, [this] { showStatus(); });

    // Reading order: the title strip's glyphs, the menu strip, the tool bar; the
    // settings panel's controls follow when it shows. A click takes no focus.
    for (SkinImage* zone : imgMenu)
        zone->setFocusPolicy(Qt::TabFocus);
    for (SkinImage* zone : imgButton)
        zone->setFocusPolicy(Qt::TabFocus);
    for (SkinImage* glyph : {imgMin, imgExit})
        glyph->setFocusPolicy(Qt::TabFocus);
    nameControl(imgMin, QAccessible::Button, QStringLiteral("最小化"), QStringLiteral("把窗口最小化"));
    nameControl(imgExit, QAccessible::Button, QStringLiteral("退出"), QStringLiteral("退出程序"));
    auto* altIgnored = new AltIgnored(this);
    QWidget* previous = imgExit;
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        SkinImage* item = imgMenu[static_cast<std::size_t>(j)];
        nameControl(item, QAccessible::MenuItem, text(kMenuCaptions[static_cast<std::size_t>(j)]));
        item->setFocusPicture(m_pictures.menuHover[static_cast<std::size_t>(j)]);
        connect(shortcutOn(item, QKeySequence(Qt::ALT | kMenuLetters[static_cast<std::size_t>(j)])),
                &QShortcut::activated, item, &SkinImage::click);
        // Opened from the keyboard, a menu starts on its first entry. Connected
        // before the press opens the menu, so this runs inside the menu's own loop.
        connect(item, &SkinImage::pressed, this, [this, altIgnored](int index, Qt::MouseButton button) {
            QMenu* opening = popupMenus().group(index);
            if (button != Qt::NoButton) {
                opening->removeEventFilter(altIgnored);
                return;
            }
            opening->installEventFilter(altIgnored);
            QTimer::singleShot(0, this, [this, index] {
                QMenu* group = popupMenus().group(index);
                if (group && group->isVisible() && !group->actions().isEmpty())
                    group->setActiveAction(group->actions().constFirst());
            });
        });
        QWidget::setTabOrder(previous, item);
        previous = item;
    }
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        SkinImage* button = imgButton[static_cast<std::size_t>(i)];
        const ToolButtonText& words = kToolButtons[static_cast<std::size_t>(i)];
        nameControl(button, QAccessible::Button, text(words.caption), text(words.description));
        button->setFocusPicture(m_pictures.buttonHover[static_cast<std::size_t>(i)]);
        QWidget::setTabOrder(previous, button);
        previous = button;
    }

    const auto command = [this](int code, std::initializer_list<QKeySequence> keys) {
        for (const QKeySequence& sequence : keys)
            connect(shortcutOn(imgButton[static_cast<std::size_t>(code)], sequence), &QShortcut::activated, this,
                    [this, code] { runShortcut(code); });
    };
    command(actions::kAdd, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    command(actions::kRemove, {QKeySequence(Qt::Key_Delete)});
    command(actions::kConvert, {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter),
                                QKeySequence(Qt::Key_F5)});
    command(actions::kSettings, {QKeySequence(Qt::CTRL | Qt::Key_Comma)});
    command(actions::kHelp, {QKeySequence(Qt::Key_F1)});
    command(actions::kExit, {QKeySequence(Qt::CTRL | Qt::Key_Q)});

    // The window itself holds the focus at start, so the first Tab reaches the
    // first control.
    setFocus();
}

void frmMain::runShortcut(int code)
{
    FromMenu = true;
    imgButton_MouseUp(code);
}

void frmMain::showStatus()
{
    QString status;
    if (source.waitShown) {
        status = QStringLiteral("正在转换");
        // The title spells out the progress after the program's name.
        const QString progress = windowTitle().section(QStringLiteral(" - "), 1);
        if (!progress.isEmpty())
            status += QStringLiteral("，") + progress;
    } else if (source.loadedShown) {
        status = QStringLiteral("文件已经加载");
    }
    lblFile->setAccessibleName(lblFile->text().isEmpty() ? QStringLiteral("未加载文件") : lblFile->text());
    if (bannerStatus->accessibleName() != status)
        bannerStatus->setAccessibleName(status);
}

void frmMain::announce(const QString& announcement)
{
    bannerStatus->setAccessibleName(announcement);
    if (QAccessible::isActive()) {
        QAccessibleEvent event(bannerStatus, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}
