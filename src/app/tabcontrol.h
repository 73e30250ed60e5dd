#pragma once

#include <QList>
#include <QRect>
#include <QTabWidget>

namespace app {

// A tab control whose page controls are placed in the tab control's own
// coordinates, tab row included, whatever height the style gives the tabs.
class TabControl : public QTabWidget
{
    Q_OBJECT

public:
    explicit TabControl(QWidget *parent = nullptr);

    // Places `control`, a child of page `page`, at `rect` (pixels measured
    // from the tab control's top-left corner) and keeps it there.
    void place(int page, QWidget *control, const QRect &rect);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void align();

    struct Placement {
        int page;
        QWidget *control;
        QRect rect;
    };
    QList<Placement> m_placements;
};

} // namespace app
