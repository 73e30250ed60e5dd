#pragma once

#include <QImage>
#include <QList>
#include <QWidget>

class QScrollBar;

namespace app {

// Shows a picture at one image pixel per screen pixel (device pixel, so also
// on a scaled screen) from the top-left corner of the box, clipped at the
// box's edges; the rest of the box shows the window's ground. A picture
// taller than the box scrolls with a scroll bar or the wheel. Rows are picture
// pixel rows, whatever the box is scrolled to and whatever the screen's scale.
//
// Lines drawn with drawLine() are yellow, span the box and last until the
// next refresh() or a new picture.
//
// The keyboard's pointer is a guide row, shown as a dashed yellow line while
// the box has the focus: Up and Down move it a row, within the rows the box
// can show, scrolling it into view; Enter, Return and Delete are reported
// with it.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    QImage picture() const;
    void setPicture(const QImage &picture);

    // The picture row shown at the box's top edge.
    int topRow() const { return m_topRow; }
    void setTopRow(int row);
    // The rows the box can scroll through: at least its own picture's. Boxes
    // that scroll together are given the same count, so that every box can
    // show the same top row.
    void setScrollRows(int rows);
    int scrollRows() const;
    // The highest top row the box can be scrolled to.
    int lastTopRow() const;

    void refresh();
    void drawLine(int row);
    QList<int> drawnRows() const { return m_lines; }

    // The picture row under a vertical position in the box's own coordinates.
    int rowAt(qreal y) const;

    int guideRow() const { return m_guideRow; }

    // Mouse buttons as the signals report them: 1 left, 2 right, 4 middle.
    static constexpr int kLeftButton = 1;

signals:
    // `button` is the one button pressed or released, `buttons` the sum of the
    // buttons held.
    void mousePressed(int button, int row);
    void mouseMoved(int buttons, int row);
    void mouseReleased(int button, int row);
    void topRowChanged(int row);
    // Enter, Return or Delete (a Qt::Key) with the guide's row.
    void keyPressed(int key, int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void updateScrollBar();
    int visibleRows() const;

    QImage m_picture;
    QList<int> m_lines;
    QScrollBar *m_scrollBar = nullptr;
    int m_scrollRows = 0;
    int m_topRow = 0;
    int m_guideRow = 0;
};

} // namespace app
