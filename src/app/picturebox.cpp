#include "picturebox.h"

#include <QPainter>

namespace app {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

QImage PictureBox::picture() const
{
    return m_picture;
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_picture);
}

} // namespace app
