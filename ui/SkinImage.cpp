#include "SkinImage.h"

#include "FocusLook.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

SkinImage::SkinImage(int index, QWidget* parent) : QWidget(parent), m_index(index)
{
    setMouseTracking(true);  // hover looks follow the pointer without a button held
}

void SkinImage::setPicture(const QPixmap& picture)
{
    m_picture = picture;
    update();
}

void SkinImage::clearPicture()
{
    if (m_picture.isNull())
        return;
    m_picture = QPixmap();
    update();
}

void SkinImage::paintEvent(QPaintEvent*)
{
    const bool focusShown = skin::focusLookShown(*this);
    const QPixmap& shown = m_picture.isNull() && focusShown ? m_focusPicture : m_picture;
    if (shown.isNull() && !focusShown)
        return;  // an empty zone lets the background show through
    QPainter painter(this);
    if (!shown.isNull())
        painter.drawPixmap(0, 0, shown);
    if (focusShown) {
        // Inside the raised frame of a tool-bar button's picture; around a small glyph.
        const int inset = height() > 30 ? 4 : 0;
        skin::drawFocusFrame(painter, rect().adjusted(inset, inset, -inset, -inset));
    }
}

void SkinImage::mousePressEvent(QMouseEvent* event) { emit pressed(m_index, event->button()); }

void SkinImage::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(m_index, event->button());
    if (rect().contains(event->position().toPoint()))
        emit clicked(m_index);
}

void SkinImage::mouseMoveEvent(QMouseEvent*) { emit moved(m_index); }

void SkinImage::click()
{
    emit pressed(m_index, Qt::NoButton);
    emit released(m_index, Qt::NoButton);
    emit clicked(m_index);
}

// Space clicks on its release, as a button does; Enter clicks at once.
void SkinImage::keyPressEvent(QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat() && !m_spaceHeld) {
            m_spaceHeld = true;
            emit pressed(m_index, Qt::NoButton);
        }
        return;
    }
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SkinImage::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_spaceHeld) {
        m_spaceHeld = false;
        emit released(m_index, Qt::NoButton);
        emit clicked(m_index);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void SkinImage::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

// A popup that opens on the press takes the focus: its release never comes here.
void SkinImage::focusOutEvent(QFocusEvent* event)
{
    m_spaceHeld = false;
    update();
    QWidget::focusOutEvent(event);
}
