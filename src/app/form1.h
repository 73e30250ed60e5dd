#pragma once

#include "app/busypointer.h"
#include "common/platform.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/plateloader.h"

#include <QHash>
#include <QMainWindow>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace convert {
class BatchEngine;
struct FileChoices;
} // namespace convert

namespace app {
class DriveList;
class FileList;
class FolderList;
class PictureBox;
class TabControl;
} // namespace app

// The program's one window: the tab control SSTab1 with the "Batch Convert"
// and "Parse Clips" pages, built from the layout table (layout.h). Every
// control carries its layout name as objectName ("Check1_3" for Check1(3)).
// Handlers keep the layout's names; the dialogs, clipboard and browser are
// reached only through the interfaces given here, which outlive the window.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    Form1(common::Dialogs &dialogs, common::Clipboard &clipboard, common::UrlOpener &opener,
          QWidget *parent = nullptr);
    ~Form1() override;

    // Form-level values shared by the pages.
    QString typepattern() const { return m_typepattern; }
    bool restoring() const { return m_restoring; }
    QString outext() const { return m_outext; }

    // Controls by their layout names; nullptr for an index the array lacks.
    app::TabControl *SSTab1() const;
    QListWidget *List1() const;
    QListWidget *List2() const;
    QLabel *Label1(int index) const;
    app::DriveList *Drive1() const;
    app::DriveList *Drive2() const;
    app::FolderList *Dir1() const;
    app::FolderList *Dir2() const;
    app::FileList *File1() const;
    QGroupBox *Frame1() const;
    QRadioButton *Option1(int index) const;
    QRadioButton *Option2(int index) const;
    QLineEdit *Text1(int index) const;
    QCheckBox *Check1(int index) const;
    QPushButton *Command1() const;
    QPushButton *Command2() const;
    QPushButton *Command3() const;
    QPushButton *Command4() const;
    QPushButton *Command5() const;
    app::PictureBox *Picture1() const;
    app::PictureBox *Picture2() const;
    app::PictureBox *Picture3() const;
    QButtonGroup *Option1Group() const { return m_option1Group; }
    QButtonGroup *Option2Group() const { return m_option2Group; }
    // The two imaging component instances: not widgets, so never visible.
    imaging::ImageMan &ImageMan1() { return m_imageMan1; }
    imaging::ImageMan &ImageMan3() { return m_imageMan3; }

public slots:
    // Start-up: restores the file-type choice, shows the window, sets the
    // output format and moves the window to the top edge. Called once, by
    // whoever creates the window, before any user input is handled.
    void Form_Load();
    void Form_Resize();

    void exit_Click();
    void ffff_Click();
    void about_Click();

    void Drive1_Change();
    void Dir1_Change();
    void Drive2_Change();
    void File1_PathChange();
    void File1_PatternChange();
    void Check1_Click(int index);
    // Drops (droptarget.h): a folder on Dir1 or File1 opens it as the source
    // folder, on Dir2 as the destination folder.
    void Dir1_DragDrop(const QString &folder);
    void File1_DragDrop(const QString &folder);
    void Dir2_DragDrop(const QString &folder);

    // --- Conversion page handlers (form1_convert.cpp) ---
    void Option1_Click(int index);
    // Converts every listed file on worker threads and returns at once; the
    // button, the busy pointer and any failure message follow the run's end.
    void Command1_Click();
    // Converts the selected file on a worker thread and returns at once; the
    // busy pointer stays until it is done, and a failure is then shown.
    void File1_DblClick();

    // --- Rollover page handlers (form1_rollover.cpp) ---
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    // Rows are plate rows; buttons 1 left, 2 right, 4 middle (a sum for a move).
    void Picture1_MouseDown(int button, int row);
    void Picture1_MouseMove(int buttons, int row);
    void Picture1_MouseUp(int button, int row);
    // A picture dropped on a plate's box loads that plate as if it had been
    // picked in the plate dialog.
    void Picture1_DragDrop(const QString &file);
    void Picture2_DragDrop(const QString &file);
    void Picture3_DragDrop(const QString &file);

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Stops a conversion run (form1_convert.cpp).
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void openStartFolders();
    void connectHandlers();
    void connectRolloverHandlers();   // form1_rollover.cpp
    void warn(const QString &text);
    void driveFault(app::DriveList *drives, app::FolderList *folders);

    template<typename T>
    T *control(const QString &name) const;
    template<typename T>
    T *element(const char *name, int index) const;

    common::Dialogs &m_dialogs;
    common::Clipboard &m_clipboard;
    common::UrlOpener &m_opener;

    QString m_typepattern;
    bool m_restoring = false;
    QString m_outext;

    QHash<QString, QWidget *> m_controls;
    QButtonGroup *m_option1Group = nullptr;
    QButtonGroup *m_option2Group = nullptr;
    imaging::ImageMan m_imageMan1;
    imaging::ImageMan m_imageMan3;

    // --- Rollover page state (form1_rollover.cpp) ---
    void showPlate(rollover::Plate plate, const rollover::PlateLoad &loaded);
    rollover::CutLineList m_cutLines; // the one record of the cut lines; List1 and List2 show it

    // --- Conversion page state (form1_convert.cpp) ---
    void connectConversionPage();
    // What the page's controls say now about the entry of File1 at `row`.
    convert::FileChoices conversionChoices(int row) const;
    convert::BatchEngine *m_batch = nullptr;
    std::optional<app::BusyPointer> m_runPointer;
    int m_singlesInHand = 0; // double-clicked files not yet done
    std::optional<app::BusyPointer> m_singlePointer;
};
