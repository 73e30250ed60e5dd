#include "form1.h"

#include "common/maker.h"

#include <QTabWidget>

Form1::Form1(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarvix Graphics Utilities - ")
                   + QLatin1String(common::kMakerAddress));
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->addTab(new QWidget, QStringLiteral("Batch Convert"));
    SSTab1->addTab(new QWidget, QStringLiteral("Parse Clips"));
    setCentralWidget(SSTab1);
    resize(6975 / 15, 5355 / 15);
}
