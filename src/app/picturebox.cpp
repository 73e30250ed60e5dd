#include "picturebox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <cmath>

namespace app {

namespace {

const QColor kLineColour(255, 255, 0);

} // namespace

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
    , m_scrollBar(new QScrollBar(Qt::Vertical, this))
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    m_scrollBar->setObjectName(QStringLiteral("scrollBar"));
    m_scrollBar->setAccessibleName(QStringLiteral("Plate rows shown"));
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &PictureBox::setTopRow);
}

QImage PictureBox::picture() const
{
    return m_picture;
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_lines.clear();
    updateScrollBar();
    update();
}

void PictureBox::setTopRow(int row)
{
    row = std::clamp(row, 0, lastTopRow());
    if (row == m_topRow)
        return;
    m_topRow = row;
    m_scrollBar->setValue(row);
    update();
    emit topRowChanged(row);
}

void PictureBox::setScrollRows(int rows)
{
    m_scrollRows = rows;
    updateScrollBar();
}

int PictureBox::scrollRows() const
{
    return std::max(m_scrollRows, m_picture.height());
}

int PictureBox::visibleRows() const
{
    return int(std::floor(height() * devicePixelRatioF()));
}

int PictureBox::lastTopRow() const
{
    return std::max(0, scrollRows() - visibleRows());
}

void PictureBox::updateScrollBar()
{
    const int last = lastTopRow();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scrollBar);
    m_scrollBar->setGeometry(width() - extent, 0, extent, height());
    m_scrollBar->setRange(0, last);
    m_scrollBar->setPageStep(std::max(1, visibleRows()));
    m_scrollBar->setSingleStep(std::max(1, visibleRows() / 10));
    m_scrollBar->setVisible(last > 0);
    setTopRow(m_topRow);
}

void PictureBox::refresh()
{
    m_lines.clear();
    update();
}

void PictureBox::drawLine(int row)
{
    m_lines.append(row);
    update();
}

int PictureBox::rowAt(qreal y) const
{
    // A captured pointer can be far outside the box; keep the row an int.
    const double row = std::floor(y * devicePixelRatioF()) + m_topRow;
    return int(std::clamp(row, double(std::numeric_limits<int>::min()),
                          double(std::numeric_limits<int>::max())));
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull() && m_lines.isEmpty() && !hasFocus())
        return;
    QPainter painter(this);
    // Paint in device pixels, so one picture pixel is one screen pixel and a
    // row is the same row for the mouse and the lines.
    const qreal ratio = devicePixelRatioF();
    painter.scale(1 / ratio, 1 / ratio);
    painter.translate(0, -m_topRow);
    if (!m_picture.isNull())
        painter.drawImage(QPoint(0, 0), m_picture);
    painter.setPen(QPen(kLineColour, 0));
    const qreal right = width() * ratio;
    for (int row : std::as_const(m_lines))
        painter.drawLine(QPointF(0, row), QPointF(right, row));
    if (hasFocus()) {
        painter.setPen(QPen(kLineColour, 0, Qt::DashLine));
        painter.drawLine(QPointF(0, m_guideRow), QPointF(right, m_guideRow));
    }
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateScrollBar();
}

void PictureBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The screen, and with it the scale, is known once the box is shown.
    updateScrollBar();
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(int(event->button()), rowAt(event->position().y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(int(event->buttons()), rowAt(event->position().y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(int(event->button()), rowAt(event->position().y()));
}

void PictureBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int last = std::max(scrollRows(), visibleRows()) - 1;
        m_guideRow = std::clamp(m_guideRow + (event->key() == Qt::Key_Up ? -1 : 1), 0, std::max(0, last));
        if (m_guideRow < m_topRow)
            setTopRow(m_guideRow);
        else if (m_guideRow >= m_topRow + visibleRows())
            setTopRow(m_guideRow - visibleRows() + 1);
        update();
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Delete:
        emit keyPressed(event->key(), m_guideRow);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PictureBox::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void PictureBox::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void PictureBox::wheelEvent(QWheelEvent *event)
{
    if (m_scrollBar->isVisible())
        QCoreApplication::sendEvent(m_scrollBar, event);
    else
        QWidget::wheelEvent(event);
}

} // namespace app
