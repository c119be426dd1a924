#pragma once
// The file line under the banner: it keeps the whole path as its text, and a path
// too long for the line is drawn with its middle left out, so both the drive or
// folder it starts with and the file name it ends with stay readable.

#include <QLabel>

class FileLine : public QLabel {
    Q_OBJECT
public:
    explicit FileLine(QWidget* parent) : QLabel(parent) {}

    // What the line shows for its current text and width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
