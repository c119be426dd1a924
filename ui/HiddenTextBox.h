#pragma once
// A text box that is never shown and never typed into: it only holds a text and
// announces every change of it. The popup menus pass their commands through one.
// Being invisible, it needs none of a line edit's machinery (nor its fonts).

#include <QString>
#include <QWidget>

class HiddenTextBox : public QWidget {
    Q_OBJECT
public:
    HiddenTextBox(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) { hide(); }

    const QString& text() const { return m_text; }
    void setText(const QString& text)
    {
        if (text == m_text)
            return;
        m_text = text;
        emit textChanged(m_text);
    }

    // It stays hidden whatever asks it to show.
    void setVisible(bool) override { QWidget::setVisible(false); }

signals:
    void textChanged(const QString& text);

private:
    QString m_text;
};
