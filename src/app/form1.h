#pragma once

#include <QMainWindow>

class QTabWidget;

// The program's one window: a tab control with the "Batch Convert" and
// "Parse Clips" pages.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

private:
    QTabWidget *SSTab1 = nullptr;
};
