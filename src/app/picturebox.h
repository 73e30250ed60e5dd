#pragma once

#include <QImage>
#include <QWidget>

namespace app {

// Shows a picture at one image pixel per screen pixel from the top-left
// corner of the box, clipped at the box's edges; the rest of the box shows
// the window's ground. Positions inside the box are picture pixels.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    QImage picture() const;
    void setPicture(const QImage &picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};

} // namespace app
