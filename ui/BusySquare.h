#pragma once
// One square of the busy indicator: a solid fill inside a one-pixel outline.

#include <QColor>
#include <QWidget>

class BusySquare : public QWidget {
    Q_OBJECT
public:
    BusySquare(int index, QWidget* parent);

    int index() const { return m_index; }
    QColor fillColour() const { return m_fill; }
    void setFillColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_index;
    QColor m_fill{255, 128, 128};  // the design colour, until the first timer tick
};
