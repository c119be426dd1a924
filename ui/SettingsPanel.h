#pragma once
// The settings panel: four pick-only lists under their captions and three text buttons.

#include "ui/looks/SkinLooks.h"
#include "ui/state/SettingsLists.h"

#include <QLabel>
#include <QWidget>

class QComboBox;

// A text button of the panel: a bold underlined label with the hand cursor. The Tab
// key reaches it once the panel has first opened, and Space or Enter clicks it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QCursor& hand, QWidget* parent);
    void setTextColour(const QColor& colour);
    QColor textColour() const;

public slots:
    void click() { emit clicked(); }

signals:
    void clicked();
    void moved();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class SettingsPanel : public QWidget {
    Q_OBJECT
public:
    SettingsPanel(const QCursor& hand, QWidget* parent);

    // Selects the default entry of each list, in the order cmbSize, cmbFPS, cmbVBR, cmbAB.
    void selectDefaults();

    // The selected entry of each list, as the list shows it.
    settings::ConversionSettings selection() const;

    // The text colour of one of the three text buttons.
    QColor linkColour(looks::Link which) const;
    void setLinkColour(looks::Link which, const QColor& colour);

signals:
    // The pointer moved over one of the text buttons.
    void linkMoved(looks::Link which);

protected:
    void showEvent(QShowEvent* event) override;
    // The focus frame of a text button, drawn around it on the panel: the label is
    // only as large as its text.
    void paintEvent(QPaintEvent* event) override;

private:
    // The three text buttons. OK and Cancel both just close the panel: the lists are
    // the only store of the settings, so there is nothing to apply or to restore.
    void lblOk_Click();
    void lblCancel_Click();
    void lblDefault_Click();
    LinkLabel* link(looks::Link which) const;

    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QComboBox* cmbVBR;
    QComboBox* cmbSize;
    QComboBox* cmbFPS;
    QComboBox* cmbAB;
    LinkLabel* lblDefault;
    LinkLabel* lblOk;
    LinkLabel* lblCancel;
    bool m_fontsApplied = false;
};
