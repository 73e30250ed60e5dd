#include "tabcontrol.h"

namespace app {

TabControl::TabControl(QWidget *parent)
    : QTabWidget(parent)
{
}

void TabControl::place(int page, QWidget *control, const QRect &rect)
{
    m_placements.append({page, control, rect});
    control->setGeometry(rect.translated(-widget(page)->mapTo(this, QPoint())));
}

void TabControl::showEvent(QShowEvent *event)
{
    QTabWidget::showEvent(event);
    align();
}

void TabControl::resizeEvent(QResizeEvent *event)
{
    // The base class lays out the tab row and the pages first.
    QTabWidget::resizeEvent(event);
    align();
}

void TabControl::align()
{
    for (const Placement &placement : std::as_const(m_placements)) {
        const QPoint origin = widget(placement.page)->mapTo(this, QPoint());
        placement.control->setGeometry(placement.rect.translated(-origin));
    }
}

} // namespace app
