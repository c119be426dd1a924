#include "SettingsPanel.h"

#include "FocusLook.h"
#include "Placement.h"
#include "SkinAccessible.h"
#include "SkinFonts.h"
#include "layout/WindowLayout.h"
#include "ui/state/SettingsLists.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

QLabel* caption(const QString& text, const layout::Rect& rect, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(skin::textFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    place(label, rect);
    return label;
}

QComboBox* pickOnlyList(const settings::ListDefinition& list, const QString& name, const layout::Rect& rect,
                        QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    combo->addItems(list.entries);
    combo->setFocusPolicy(Qt::StrongFocus);
    place(combo, rect);
    return combo;
}

}  // namespace

LinkLabel::LinkLabel(const QString& text, const QCursor& hand, QWidget* parent) : QLabel(text, parent)
{
    skin::setAccessibleRole(this, QAccessible::Button);
    setAccessibleName(text);
    setFont(skin::textFont(true, true));
    setCursor(hand);
    setMouseTracking(true);
    setTextColour(palette().color(QPalette::ButtonText));
}

void LinkLabel::setTextColour(const QColor& colour)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    setPalette(palette);
}

QColor LinkLabel::textColour() const { return palette().color(QPalette::WindowText); }

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void LinkLabel::mouseMoveEvent(QMouseEvent*) { emit moved(); }

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QLabel::keyPressEvent(event);
}

namespace {
QRect focusFrameAround(const QWidget* link) { return link->geometry().adjusted(-3, -2, 3, 2); }
}  // namespace

void LinkLabel::focusInEvent(QFocusEvent* event)
{
    parentWidget()->update(focusFrameAround(this));
    QLabel::focusInEvent(event);
}

void LinkLabel::focusOutEvent(QFocusEvent* event)
{
    parentWidget()->update(focusFrameAround(this));
    QLabel::focusOutEvent(event);
}

SettingsPanel::SettingsPanel(const QCursor& hand, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picSetting"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    place(this, layout::kSettingsPanel);

    Label1 = caption(QStringLiteral("视频比特率 (Kbps):"), layout::kLabelVideoRate, this);
    Label3 = caption(QStringLiteral("屏幕尺寸 (Width x Height):"), layout::kLabelFrameSize, this);
    Label4 = caption(QStringLiteral("帧率 (FPS):"), layout::kLabelFrameRate, this);
    Label5 = caption(QStringLiteral("音频比特率 (Kbps):"), layout::kLabelAudioRate, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4->setObjectName(QStringLiteral("Label4"));
    Label5->setObjectName(QStringLiteral("Label5"));

    // Created in the order the Tab key visits them: from the last list to the first.
    cmbAB = pickOnlyList(settings::audioRates(), QStringLiteral("cmbAB"), layout::kComboAudioRate, this);
    cmbVBR = pickOnlyList(settings::videoRates(), QStringLiteral("cmbVBR"), layout::kComboVideoRate, this);
    cmbSize = pickOnlyList(settings::frameSizes(), QStringLiteral("cmbSize"), layout::kComboFrameSize, this);
    cmbFPS = pickOnlyList(settings::frameRates(), QStringLiteral("cmbFPS"), layout::kComboFrameRate, this);
    QWidget::setTabOrder(cmbAB, cmbVBR);
    QWidget::setTabOrder(cmbVBR, cmbSize);
    QWidget::setTabOrder(cmbSize, cmbFPS);

    lblDefault = new LinkLabel(QStringLiteral("默认"), hand, this);
    lblOk = new LinkLabel(QStringLiteral("确定"), hand, this);
    lblCancel = new LinkLabel(QStringLiteral("取消"), hand, this);
    lblDefault->setObjectName(QStringLiteral("lblDefault"));
    lblOk->setObjectName(QStringLiteral("lblOk"));
    lblCancel->setObjectName(QStringLiteral("lblCancel"));
    for (auto [label, rect] : {std::pair{lblDefault, layout::kLinkDefault}, std::pair{lblOk, layout::kLinkOk},
                               std::pair{lblCancel, layout::kLinkCancel}})
        place(label, rect);

    for (auto [label, which] : {std::pair{lblDefault, looks::Link::Default}, std::pair{lblOk, looks::Link::Ok},
                                std::pair{lblCancel, looks::Link::Cancel}})
        connect(label, &LinkLabel::moved, this, [this, which = which] { emit linkMoved(which); });
    connect(lblOk, &LinkLabel::clicked, this, &SettingsPanel::lblOk_Click);
    connect(lblCancel, &LinkLabel::clicked, this, &SettingsPanel::lblCancel_Click);
    connect(lblDefault, &LinkLabel::clicked, this, &SettingsPanel::lblDefault_Click);
}

void SettingsPanel::lblOk_Click() { hide(); }

void SettingsPanel::lblCancel_Click() { hide(); }

void SettingsPanel::lblDefault_Click() { selectDefaults(); }

LinkLabel* SettingsPanel::link(looks::Link which) const
{
    switch (which) {
    case looks::Link::Default: return lblDefault;
    case looks::Link::Ok: return lblOk;
    case looks::Link::Cancel: return lblCancel;
    }
    return lblDefault;
}

QColor SettingsPanel::linkColour(looks::Link which) const { return link(which)->textColour(); }

void SettingsPanel::setLinkColour(looks::Link which, const QColor& colour) { link(which)->setTextColour(colour); }

settings::ConversionSettings SettingsPanel::selection() const
{
    return {cmbSize->currentText(), cmbFPS->currentText(), cmbVBR->currentText(), cmbAB->currentText()};
}

// The labels size themselves to their text and the lists take the window's font;
// both need the font system, whose first use costs about as much as the whole rest
// of start-up. Nothing of the panel shows before it opens, so that is done then.
void SettingsPanel::paintEvent(QPaintEvent*)
{
    for (const LinkLabel* label : {lblDefault, lblOk, lblCancel})
        if (skin::focusLookShown(*label)) {
            QPainter painter(this);
            skin::drawFocusFrame(painter, focusFrameAround(label));
        }
}

void SettingsPanel::showEvent(QShowEvent* event)
{
    if (!m_fontsApplied) {
        for (QComboBox* list : {cmbAB, cmbVBR, cmbSize, cmbFPS})
            list->setFont(skin::textFont());
        for (QLabel* label : {Label1, Label3, Label4, Label5, static_cast<QLabel*>(lblDefault),
                              static_cast<QLabel*>(lblOk), static_cast<QLabel*>(lblCancel)})
            label->adjustSize();
        // A label that takes the focus lays out its text with the fonts as soon as it
        // is polished, which the window's first paint does. The text buttons follow
        // the lists, from left to right.
        for (LinkLabel* link : {lblDefault, lblOk, lblCancel})
            link->setFocusPolicy(Qt::TabFocus);
        QWidget::setTabOrder(cmbFPS, lblDefault);
        QWidget::setTabOrder(lblDefault, lblOk);
        QWidget::setTabOrder(lblOk, lblCancel);
        m_fontsApplied = true;
    }
    QWidget::showEvent(event);
}

void SettingsPanel::selectDefaults()
{
    cmbSize->setCurrentIndex(settings::frameSizes().defaultIndex());
    cmbFPS->setCurrentIndex(settings::frameRates().defaultIndex());
    cmbVBR->setCurrentIndex(settings::videoRates().defaultIndex());
    cmbAB->setCurrentIndex(settings::audioRates().defaultIndex());
}
