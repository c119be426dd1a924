#pragma once
// An image element of the skinned window: a hot zone that is invisible until a
// picture is put into it, or a status picture. It reports pointer events with its
// index, which is the only link between a zone, its pictures and its action.
// A zone that takes the keyboard focus acts on Space and Enter as on a click, through
// the same press and release, and shows its focus picture under the focus frame.

#include <QPixmap>
#include <QWidget>

class SkinImage : public QWidget {
    Q_OBJECT
public:
    SkinImage(int index, QWidget* parent);

    int index() const { return m_index; }

    void setPicture(const QPixmap& picture);
    void clearPicture();
    bool hasPicture() const { return !m_picture.isNull(); }
    const QPixmap& picture() const { return m_picture; }

    // Shown while the zone has the keyboard focus and no picture of its own.
    void setFocusPicture(const QPixmap& picture) { m_focusPicture = picture; }

public slots:
    // A press and a release inside the zone, as a click of no mouse button.
    void click();

signals:
    void pressed(int index, Qt::MouseButton button);
    void released(int index, Qt::MouseButton button);
    void moved(int index);
    void clicked(int index);  // press and release both inside the zone

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_index;
    QPixmap m_picture;
    QPixmap m_focusPicture;
    bool m_spaceHeld = false;  // Space went down here; its release is the click
};
