#include "imaging/imageman.h"

#include <QTest>

class TestImageMan : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(TestImageMan)
#include "tst_imageman.moc"
