// The "Parse Clips" page: plates, cut lines and the generate command. The
// cut lines live in List1 (List2 is the sorting scratch list); the handlers
// read them from the list boxes, hand them to the core and show the result.

#include "form1.h"

#include "droptarget.h"
#include "picturebox.h"

#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/plateloader.h"

#include <QListWidget>
#include <QPushButton>

namespace {

QStringList items(const QListWidget *list)
{
    QStringList out;
    out.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

void showItems(QListWidget *list, const QStringList &texts)
{
    if (items(list) == texts)
        return;
    list->clear();
    list->addItems(texts);
}

rollover::CutLineList cutLines(const Form1 &form)
{
    return rollover::CutLineList(items(form.List1()), items(form.List2()));
}

void showCutLines(Form1 &form, const rollover::CutLineList &lines)
{
    showItems(form.List1(), lines.list1());
    showItems(form.List2(), lines.list2());
}

QList<app::PictureBox *> plateBoxes(const Form1 &form)
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

void show(Form1 &form, common::Dialogs &dialogs, rollover::Plate plate, const rollover::PlateLoad &loaded)
{
    if (loaded.outcome == rollover::PlateLoad::Outcome::Failed) {
        dialogs.messageBox(loaded.message, QLatin1String(rollover::kPlateDialogTitle),
                           common::Dialogs::Icon::Warning);
        return;
    }
    if (loaded.outcome != rollover::PlateLoad::Outcome::Loaded)
        return;
    plateBoxes(form)[int(plate)]->setPicture(loaded.picture);
    shareScrollRows(form);
    if (plate == rollover::Plate::Back)
        form.List1()->clear();
}

void load(Form1 &form, common::Dialogs &dialogs, rollover::Plate plate)
{
    show(form, dialogs, plate, rollover::loadPlate(plate, dialogs, form.ImageMan1()));
}

void loadDropped(Form1 &form, common::Dialogs &dialogs, rollover::Plate plate, const QString &file)
{
    show(form, dialogs, plate, rollover::loadPlate(plate, file, form.ImageMan1()));
}

} // namespace

void Form1::connectRolloverHandlers()
{
    connect(Command2(), &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3(), &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4(), &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5(), &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Picture1(), &app::PictureBox::mousePressed, this, &Form1::Picture1_MouseDown);
    connect(Picture1(), &app::PictureBox::mouseMoved, this, &Form1::Picture1_MouseMove);
    connect(Picture1(), &app::PictureBox::mouseReleased, this, &Form1::Picture1_MouseUp);
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
    load(*this, m_dialogs, rollover::Plate::Back);
}

void Form1::Command3_Click()
{
    load(*this, m_dialogs, rollover::Plate::Highlight);
}

void Form1::Command4_Click()
{
    load(*this, m_dialogs, rollover::Plate::Selected);
}

void Form1::Picture1_DragDrop(const QString &file)
{
    loadDropped(*this, m_dialogs, rollover::Plate::Back, file);
}

void Form1::Picture2_DragDrop(const QString &file)
{
    loadDropped(*this, m_dialogs, rollover::Plate::Highlight, file);
}

void Form1::Picture3_DragDrop(const QString &file)
{
    loadDropped(*this, m_dialogs, rollover::Plate::Selected, file);
}

void Form1::Command5_Click()
{
    rollover::GenerateRun run(m_dialogs, m_clipboard, m_imageMan1, m_imageMan3);
    run.run(cutLines(*this));
}

void Form1::Picture1_MouseDown(int, int row)
{
    rollover::CutLineList lines = cutLines(*this);
    if (lines.press(row))
        showCutLines(*this, lines);
}

void Form1::Picture1_MouseMove(int buttons, int row)
{
    const QList<int> drawn = cutLines(*this).drag(buttons, row);
    if (drawn.isEmpty())
        return;
    Picture1()->refresh();
    for (int line : drawn)
        Picture1()->drawLine(line);
}

void Form1::Picture1_MouseUp(int button, int row)
{
    rollover::CutLineList lines = cutLines(*this);
    const QList<int> drawn = lines.release(button, row);
    const QList<app::PictureBox *> boxes = plateBoxes(*this);
    for (app::PictureBox *box : boxes)
        box->refresh();
    for (int line : drawn)
        for (app::PictureBox *box : boxes)
            box->drawLine(line);
    showCutLines(*this, lines);
}
