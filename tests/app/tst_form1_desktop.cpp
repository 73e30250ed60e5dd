#include "apptest.h"

#include "app/folderlist.h"
#include "app/layout.h"
#include "app/picturebox.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

namespace {

// What a drop may change, in this order: source folder, file list's folder,
// destination folder, the three plates' sizes, the number of cut lines.
QStringList state(const Form1 &form)
{
    QStringList state{form.Dir1()->path(), form.File1()->path(), form.Dir2()->path()};
    for (const app::PictureBox *box : {form.Picture1(), form.Picture2(), form.Picture3()})
        state.append(QStringLiteral("%1x%2").arg(box->picture().width()).arg(box->picture().height()));
    return state << QString::number(form.List1()->count());
}

} // namespace

// What the window adds for the desktop: drops, and controls that look as
// their state is.
class TstForm1Desktop : public QObject, apptest::Fixture
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void drops_data();
    void drops();
    void looks();
};

void TstForm1Desktop::drops_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("items"); // under the fixture's folder, or a web address
    QTest::addColumn<QList<int>>("changed"); // the entries of state() the drop changes
    QTest::newRow("folder on Dir1 opens the source") << "Dir1" << QStringList{"drop"} << QList<int>{0, 1};
    QTest::newRow("folder on File1 opens the source") << "File1" << QStringList{"drop"} << QList<int>{0, 1};
    QTest::newRow("folder on Dir2 opens the destination") << "Dir2" << QStringList{"drop"} << QList<int>{2};
    QTest::newRow("picture on Picture1 loads the normal plate, no cut lines")
        << "Picture1" << QStringList{"drop/plate.BMP"} << QList<int>{3, 6};
    QTest::newRow("picture on Picture2 loads the highlight plate") << "Picture2" << QStringList{"drop/plate.BMP"} << QList<int>{4};
    QTest::newRow("picture on Dir1 is refused") << "Dir1" << QStringList{"drop/plate.BMP"} << QList<int>{};
    QTest::newRow("folder on Picture1 is refused") << "Picture1" << QStringList{"drop"} << QList<int>{};
    QTest::newRow("PNG on Picture3 is refused, as the dialog offers none") << "Picture3" << QStringList{"drop/plate.png"} << QList<int>{};
    QTest::newRow("two folders on Dir2 are refused") << "Dir2" << QStringList{"drop", "source"} << QList<int>{};
    QTest::newRow("web address on File1 is refused") << "File1" << QStringList{"http://www.kestrune.example/"} << QList<int>{};
}

void TstForm1Desktop::drops()
{
    QFETCH(QString, control);
    QFETCH(QStringList, items);
    QFETCH(QList<int>, changed);
    const QString drop = m_root + QStringLiteral("/drop");
    QVERIFY(QDir().mkpath(drop));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/pillow.bmp"), drop + QStringLiteral("/plate.BMP")));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/pillow-rle.tga"), drop + QStringLiteral("/plate.png")));
    auto form = newForm();
    form->List1()->addItem(QStringLiteral("57"));
    const QStringList before = state(*form);

    QWidget *target = form->findChild<QWidget *>(control);
    if (auto *list = qobject_cast<QListWidget *>(target))
        target = list->viewport();
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &item : items)
        urls.append(item.startsWith("http") ? QUrl(item) : QUrl::fromLocalFile(m_root + u'/' + item));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), !changed.isEmpty());
    QDropEvent release(QPointF(4, 4), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &release);
    // Taken as a copy, so the file manager never deletes what was dropped.
    QVERIFY(changed.isEmpty() || release.dropAction() == Qt::CopyAction);

    const QSize plate = QImage(drop + QStringLiteral("/plate.BMP")).size();
    const QString size = QStringLiteral("%1x%2").arg(plate.width()).arg(plate.height());
    QStringList expected = before, changes{drop, drop, drop, size, size, size, "0"}; // each entry, when changed
    for (int i : changed)
        expected[i] = changes[i];
    QCOMPARE(state(*form), expected);
    QVERIFY(m_dialogs.messages.isEmpty());
}

// "BATCH CONVERT" starts disabled over the empty folder: its caption must
// differ from an enabled one and still stand out from the grey ground. A
// line edit scrolls a text that does not fit: then the cursor's travel from
// before the first character to past the last is shorter than the text.
void TstForm1Desktop::looks()
{
    auto form = newForm();
    QVERIFY(!form->Command1()->isEnabled());
    const QPalette colours = form->Command1()->palette();
    const QColor ink = colours.color(QPalette::Disabled, QPalette::ButtonText);
    QVERIFY(ink != colours.color(QPalette::Active, QPalette::ButtonText));
    QVERIFY(std::abs(qGray(ink.rgb()) - qGray(colours.color(QPalette::Disabled, QPalette::Button).rgb())) >= 48);
    for (int index : {0, 1}) {
        QLineEdit *box = form->Text1(index);
        QCOMPARE(box->size(), app::pixelRect(*app::findControl("Text1", index)).size());
        box->setText(QStringLiteral("1920"));
        const auto cursorX = [box](bool atEnd) {
            atEnd ? box->end(false) : box->home(false);
            box->grab();
            return box->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
        };
        const int home = cursorX(false);
        QCOMPARE(cursorX(true) - home, box->fontMetrics().horizontalAdvance(QStringLiteral("1920")));
    }
}

QTEST_MAIN(TstForm1Desktop)
#include "tst_form1_desktop.moc"
