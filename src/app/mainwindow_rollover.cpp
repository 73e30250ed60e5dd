// The "Parse Clips" page: plates, cut lines and the generate command. The
// cut lines live in m_cutLines; the cut-line list shows them after every
// change and the sorting list after every release, when they have been sorted.

#include "mainwindow.h"

#include "artwork.h"
#include "droptarget.h"
#include "picturebox.h"

#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/plateloader.h"

#include <QListWidget>
#include <QPushButton>

namespace app {

using rollover::Plate;

namespace {

// A list box shows rows as the decimal text of each, in the model's order.
void showRows(QListWidget *list, const QList<int> &rows)
{
    QStringList texts;
    texts.reserve(rows.size());
    for (int row : rows)
        texts.append(QString::number(row));
    bool same = list->count() == texts.size();
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text() == texts[i];
    if (same)
        return;
    list->clear();
    list->addItems(texts);
}

QList<PictureBox *> plateBoxes(const MainWindow &form)
{
    return {form.backPlateBox(), form.highlightPlateBox(), form.selectedPlateBox()};
}

// All three boxes scroll through the rows of the tallest plate, so each can
// show the same top row.
void shareScrollRows(const MainWindow &form)
{
    int rows = 0;
    for (const app::PictureBox *box : plateBoxes(form))
        rows = std::max(rows, box->picture().height());
    for (app::PictureBox *box : plateBoxes(form))
        box->setScrollRows(rows);
}

} // namespace

void MainWindow::connectRolloverHandlers()
{
    // Generate cuts the working plates an earlier run left, so those are shown
    // where they can be read; the samples stand for the others until loaded.
    for (Plate plate : rollover::kPlates) {
        const QImage working = rollover::readWorkingPlate(plate);
        plateBoxes(*this)[int(plate)]->setPicture(working.isNull() ? samplePlate(int(plate)) : working);
    }
    m_cutLines.setPlateHeight(backPlateBox()->picture().height());

    connect(loadNormalButton(), &QPushButton::clicked, this, &MainWindow::onLoadNormal);
    connect(loadHighlightsButton(), &QPushButton::clicked, this, &MainWindow::onLoadHighlights);
    connect(loadSelectedButton(), &QPushButton::clicked, this, &MainWindow::onLoadSelected);
    connect(generateButton(), &QPushButton::clicked, this, &MainWindow::onGenerate);
    connect(backPlateBox(), &app::PictureBox::mousePressed, this, &MainWindow::onBackPlatePressed);
    connect(backPlateBox(), &app::PictureBox::mouseMoved, this, &MainWindow::onBackPlateMoved);
    connect(backPlateBox(), &app::PictureBox::mouseReleased, this, &MainWindow::onBackPlateReleased);
    connect(backPlateBox(), &app::PictureBox::keyPressed, this, &MainWindow::onBackPlateKey);
    connect(new app::DropTarget(backPlateBox(), app::DropKind::PlatePicture), &app::DropTarget::dropped, this,
            &MainWindow::onBackPlateDropped);
    connect(new app::DropTarget(highlightPlateBox(), app::DropKind::PlatePicture), &app::DropTarget::dropped, this,
            &MainWindow::onHighlightPlateDropped);
    connect(new app::DropTarget(selectedPlateBox(), app::DropKind::PlatePicture), &app::DropTarget::dropped, this,
            &MainWindow::onSelectedPlateDropped);
    // A row is the same row on all three plates.
    const QList<app::PictureBox *> boxes = plateBoxes(*this);
    for (app::PictureBox *box : boxes) {
        connect(box, &app::PictureBox::topRowChanged, this, [boxes](int row) {
            for (app::PictureBox *other : boxes)
                other->setTopRow(row);
        });
    }
    shareScrollRows(*this);
}

void MainWindow::onLoadNormal()
{
    showPlate(Plate::Back, rollover::askAndLoadPlate(Plate::Back, m_dialogs, m_plateReader));
}

void MainWindow::onLoadHighlights()
{
    showPlate(Plate::Highlight, rollover::askAndLoadPlate(Plate::Highlight, m_dialogs, m_plateReader));
}

void MainWindow::onLoadSelected()
{
    showPlate(Plate::Selected, rollover::askAndLoadPlate(Plate::Selected, m_dialogs, m_plateReader));
}

void MainWindow::onBackPlateDropped(const QString &file)
{
    showPlate(Plate::Back, rollover::loadPlate(Plate::Back, file, m_plateReader));
}

void MainWindow::onHighlightPlateDropped(const QString &file)
{
    showPlate(Plate::Highlight, rollover::loadPlate(Plate::Highlight, file, m_plateReader));
}

void MainWindow::onSelectedPlateDropped(const QString &file)
{
    showPlate(Plate::Selected, rollover::loadPlate(Plate::Selected, file, m_plateReader));
}

void MainWindow::showPlate(Plate plate, const rollover::PlateLoad &loaded)
{
    if (loaded.outcome == rollover::PlateLoad::Outcome::Failed) {
        m_dialogs.messageBox(loaded.message, QLatin1String(rollover::kPlateDialogTitle),
                             common::Dialogs::Icon::Warning);
        return;
    }
    if (loaded.outcome != rollover::PlateLoad::Outcome::Loaded)
        return;
    plateBoxes(*this)[int(plate)]->setPicture(loaded.picture);
    shareScrollRows(*this);
    if (plate == Plate::Back) {
        m_cutLines.clear();
        m_cutLines.setPlateHeight(loaded.picture.height());
        showRows(cutLineList(), m_cutLines.rows());
    }
}

void MainWindow::onGenerate()
{
    rollover::GenerateRun run(m_dialogs, m_clipboard, m_plateReader, m_pieceWriter);
    run.run(m_cutLines);
}

// The mouse's gestures: any press takes the line under it, a drag with the
// left button alone guides it, a left release places it, any other release
// settles.
void MainWindow::onBackPlatePressed(int, int row)
{
    if (m_cutLines.take(row))
        showRows(cutLineList(), m_cutLines.rows());
}

void MainWindow::onBackPlateMoved(int buttons, int row)
{
    if (buttons != PictureBox::kLeftButton)
        return;
    backPlateBox()->refresh();
    for (int line : m_cutLines.guide(row))
        backPlateBox()->drawLine(line);
}

void MainWindow::onBackPlateReleased(int button, int row)
{
    showReleased(button == PictureBox::kLeftButton ? m_cutLines.place(row) : m_cutLines.settle());
}

void MainWindow::onBackPlateKey(int key, int row)
{
    showReleased(key == Qt::Key_Delete ? m_cutLines.remove(row) : m_cutLines.place(row));
}

void MainWindow::showReleased(const QList<int> &drawn)
{
    const QList<app::PictureBox *> boxes = plateBoxes(*this);
    for (app::PictureBox *box : boxes)
        box->refresh();
    for (int line : drawn)
        for (app::PictureBox *box : boxes)
            box->drawLine(line);
    showRows(cutLineList(), m_cutLines.rows());
    showRows(sortingList(), m_cutLines.rows());
}

} // namespace app
