#include "SkinImage.h"

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
    if (m_picture.isNull())
        return;  // an empty zone lets the background show through
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void SkinImage::mousePressEvent(QMouseEvent* event) { emit pressed(m_index, event->button()); }

void SkinImage::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(m_index, event->button());
    if (rect().contains(event->position().toPoint()))
        emit clicked(m_index);
}

void SkinImage::mouseMoveEvent(QMouseEvent*) { emit moved(m_index); }
