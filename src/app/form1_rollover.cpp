// The "Parse Clips" page: plates, cut lines and the generate command. The
// cut lines live in m_cutLines; List1 shows them after every change and the
// scratch list List2 after every release, when they have been sorted.

#include "form1.h"

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

QList<PictureBox *> plateBoxes(const Form1 &form)
{
    return {form.Picture1(), form.Picture2(), form.Picture3()};
}

// All three boxes scroll through the rows of the tallest plate, so each can
// show the same top row.
void shareScrollRows(const Form1 &form)
{
    int rows = 0;
    for (const app::PictureBox *box : plateBoxes(form))
        rows = std::max(rows, box->picture().height());
    for (app::PictureBox *box : plateBoxes(form))
        box->setScrollRows(rows);
}

} // namespace

void Form1::connectRolloverHandlers()
{
    // Generate cuts the working plates an earlier run left, so those are shown
    // where they can be read; the samples stand for the others until loaded.
    for (Plate plate : rollover::kPlates) {
        const QImage working = rollover::readWorkingPlate(plate);
        plateBoxes(*this)[int(plate)]->setPicture(working.isNull() ? samplePlate(int(plate)) : working);
    }
    m_cutLines.setPlateHeight(Picture1()->picture().height());

    connect(Command2(), &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3(), &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4(), &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5(), &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Picture1(), &app::PictureBox::mousePressed, this, &Form1::Picture1_MouseDown);
    connect(Picture1(), &app::PictureBox::mouseMoved, this, &Form1::Picture1_MouseMove);
    connect(Picture1(), &app::PictureBox::mouseReleased, this, &Form1::Picture1_MouseUp);
    connect(Picture1(), &app::PictureBox::keyPressed, this, &Form1::Picture1_KeyDown);
    connect(new app::DropTarget(Picture1(), app::DropKind::PlatePicture), &app::DropTarget::dropped, this,
            &Form1::Picture1_DragDrop);
    connect(new app::DropTarget(Picture2(), app::DropKind::PlatePicture), &app::DropTarget::dropped, this,
            &Form1::Picture2_DragDrop);
    connect(new app::DropTarget(Picture3(), app::DropKind::PlatePicture), &app::DropTarget::dropped, this,
            &Form1::Picture3_DragDrop);
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

void Form1::Command2_Click()
{
    showPlate(Plate::Back, rollover::askAndLoadPlate(Plate::Back, m_dialogs, m_imageMan1));
}

void Form1::Command3_Click()
{
    showPlate(Plate::Highlight, rollover::askAndLoadPlate(Plate::Highlight, m_dialogs, m_imageMan1));
}

void Form1::Command4_Click()
{
    showPlate(Plate::Selected, rollover::askAndLoadPlate(Plate::Selected, m_dialogs, m_imageMan1));
}

void Form1::Picture1_DragDrop(const QString &file)
{
    showPlate(Plate::Back, rollover::loadPlate(Plate::Back, file, m_imageMan1));
}

void Form1::Picture2_DragDrop(const QString &file)
{
    showPlate(Plate::Highlight, rollover::loadPlate(Plate::Highlight, file, m_imageMan1));
}

void Form1::Picture3_DragDrop(const QString &file)
{
    showPlate(Plate::Selected, rollover::loadPlate(Plate::Selected, file, m_imageMan1));
}

void Form1::showPlate(Plate plate, const rollover::PlateLoad &loaded)
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
        showRows(List1(), m_cutLines.rows());
    }
}

void Form1::Command5_Click()
{
    rollover::GenerateRun run(m_dialogs, m_clipboard, m_imageMan1, m_imageMan3);
    run.run(m_cutLines);
}

void Form1::Picture1_MouseDown(int, int row)
{
    if (m_cutLines.press(row))
        showRows(List1(), m_cutLines.rows());
}

void Form1::Picture1_MouseMove(int buttons, int row)
{
    const QList<int> drawn = m_cutLines.drag(buttons, row);
    if (drawn.isEmpty())
        return;
    Picture1()->refresh();
    for (int line : drawn)
        Picture1()->drawLine(line);
}

void Form1::Picture1_MouseUp(int button, int row)
{
    showReleased(m_cutLines.release(button, row));
}

void Form1::Picture1_KeyDown(int key, int row)
{
    showReleased(key == Qt::Key_Delete ? m_cutLines.remove(row) : m_cutLines.place(row));
}

void Form1::showReleased(const QList<int> &drawn)
{
    const QList<app::PictureBox *> boxes = plateBoxes(*this);
    for (app::PictureBox *box : boxes)
        box->refresh();
    for (int line : drawn)
        for (app::PictureBox *box : boxes)
            box->drawLine(line);
    showRows(List1(), m_cutLines.rows());
    showRows(List2(), m_cutLines.rows());
}

} // namespace app
