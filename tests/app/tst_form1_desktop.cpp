#include "apptest.h"

#include "app/folderlist.h"
#include "app/layout.h"
#include "app/picturebox.h"
#include "common/paths.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>

namespace {

enum class Effect { None, Source, Destination, NormalPlate, HighlightPlate };

struct State {
    QString source, files, destination;
    QSize plates[3];
    int cutLines = 0;
};

State stateOf(const Form1 &form)
{
    return {form.Dir1()->path(), form.File1()->path(), form.Dir2()->path(),
            {form.Picture1()->picture().size(), form.Picture2()->picture().size(), form.Picture3()->picture().size()},
            form.List1()->count()};
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
    void disabledLooksDisabled();
    void customSizeShowsFourDigits();
};

void TstForm1Desktop::drops_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("items"); // under the fixture's folder; "http..." stays as it is
    QTest::addColumn<Effect>("effect");
    QTest::newRow("folder on Dir1 opens the source") << "Dir1" << QStringList{"drop"} << Effect::Source;
    QTest::newRow("folder on File1 opens the source") << "File1" << QStringList{"drop"} << Effect::Source;
    QTest::newRow("folder on Dir2 opens the destination") << "Dir2" << QStringList{"drop"} << Effect::Destination;
    QTest::newRow("picture on Picture1 loads the normal plate") << "Picture1" << QStringList{"drop/plate.BMP"} << Effect::NormalPlate;
    QTest::newRow("picture on Picture2 loads the highlight plate") << "Picture2" << QStringList{"drop/plate.BMP"} << Effect::HighlightPlate;
    QTest::newRow("picture on Dir1 is refused") << "Dir1" << QStringList{"drop/plate.BMP"} << Effect::None;
    QTest::newRow("folder on Picture1 is refused") << "Picture1" << QStringList{"drop"} << Effect::None;
    QTest::newRow("PNG on Picture3 is refused, as the dialog offers none") << "Picture3" << QStringList{"drop/plate.png"} << Effect::None;
    QTest::newRow("two folders on Dir2 are refused") << "Dir2" << QStringList{"drop", "source"} << Effect::None;
    QTest::newRow("web address on File1 is refused") << "File1" << QStringList{"http://www.kestrune.example/"} << Effect::None;
}

void TstForm1Desktop::drops()
{
    QFETCH(QString, control);
    QFETCH(QStringList, items);
    QFETCH(Effect, effect);
    const QString drop = m_root + QStringLiteral("/drop");
    QVERIFY(QDir().mkpath(drop));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/pillow.bmp"), drop + QStringLiteral("/plate.BMP")));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/pillow-rle.tga"), drop + QStringLiteral("/plate.png")));
    auto form = newForm();
    form->List1()->addItem(QStringLiteral("57"));
    const State before = stateOf(*form);

    QWidget *target = form->findChild<QWidget *>(control);
    auto *area = qobject_cast<QAbstractScrollArea *>(target);
    QWidget *receiver = area ? area->viewport() : target;
    QList<QUrl> urls;
    for (const QString &item : items)
        urls.append(item.startsWith("http") ? QUrl(item) : QUrl::fromLocalFile(m_root + u'/' + item));
    QMimeData data;
    data.setUrls(urls);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(4, 4), actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &enter);
    QCOMPARE(enter.isAccepted(), effect != Effect::None);
    QDropEvent dropped(QPointF(4, 4), actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &dropped);
    // Taken as a copy, so the file manager never deletes what was dropped.
    if (effect != Effect::None)
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);

    State expected = before;
    if (effect == Effect::Source) {
        expected.source = expected.files = drop;
        QCOMPARE(apptest::entries(form->File1()), (QStringList{"plate.BMP", "plate.png"}));
        QVERIFY(form->Command1()->isEnabled());
    } else if (effect == Effect::Destination) {
        expected.destination = drop;
    } else if (effect != Effect::None) {
        const int plate = effect == Effect::NormalPlate ? 0 : 1;
        expected.plates[plate] = QImage(drop + QStringLiteral("/plate.BMP")).size();
        expected.cutLines = plate == 0 ? 0 : 1;
        QVERIFY(QFileInfo::exists(common::platePath(plate)));
    }
    const State after = stateOf(*form);
    QCOMPARE(after.source, expected.source);
    QCOMPARE(after.files, expected.files);
    QCOMPARE(after.destination, expected.destination);
    for (int plate = 0; plate < 3; ++plate)
        QCOMPARE(after.plates[plate], expected.plates[plate]);
    QCOMPARE(after.cutLines, expected.cutLines);
    QVERIFY(m_dialogs.messages.isEmpty());
}

// "BATCH CONVERT" starts disabled over the empty folder: its caption must
// differ from an enabled one and still stand out from the grey ground.
void TstForm1Desktop::disabledLooksDisabled()
{
    auto form = newForm();
    const QPushButton *button = form->Command1();
    QVERIFY(!button->isEnabled());
    const QPalette colours = button->palette();
    const QColor ink = colours.color(QPalette::Disabled, QPalette::ButtonText);
    QVERIFY(ink != colours.color(QPalette::Active, QPalette::ButtonText));
    QVERIFY(std::abs(qGray(ink.rgb()) - qGray(colours.color(QPalette::Disabled, QPalette::Button).rgb())) >= 48);
}

// A line edit scrolls a text that does not fit: then the cursor's travel
// from the first character to past the last is shorter than the text.
void TstForm1Desktop::customSizeShowsFourDigits()
{
    auto form = newForm();
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
