#pragma once

#include "app/busypointer.h"
#include "common/desktop.h"
#include "convert/sourcefiles.h"
#include "imaging/formats.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/plateloader.h"

#include <QMainWindow>
#include <array>
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

// The program's one window: the tab control SSTab1 with the "Batch Convert"
// and "Parse Clips" pages, built from the layout table (layout.h). Every
// control carries its layout name as objectName ("Check1_3" for Check1(3)).
// Handlers keep the layout's names; the dialogs, clipboard and browser are
// reached only through the interfaces given here, which outlive the window.
// Window-wide handlers live in form1.cpp, the Batch Convert page's in
// form1_convert.cpp and the Parse Clips page's in form1_rollover.cpp.
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
    TabControl *SSTab1() const { return m_sstab1; }
    QListWidget *List1() const { return m_list1; }
    QListWidget *List2() const { return m_list2; }
    QLabel *Label1(int index) const { return element(m_label1, index); }
    DriveList *Drive1() const { return m_drive1; }
    DriveList *Drive2() const { return m_drive2; }
    FolderList *Dir1() const { return m_dir1; }
    FolderList *Dir2() const { return m_dir2; }
    FileList *File1() const { return m_file1; }
    QGroupBox *Frame1() const { return m_frame1; }
    QRadioButton *Option1(int index) const { return element(m_option1, index); }
    QRadioButton *Option2(int index) const { return element(m_option2, index); }
    QLineEdit *Text1(int index) const { return element(m_text1, index); }
    QCheckBox *Check1(int index) const { return element(m_check1, index); }
    QPushButton *Command1() const { return m_command1; }
    QPushButton *Command2() const { return m_command2; }
    QPushButton *Command3() const { return m_command3; }
    QPushButton *Command4() const { return m_command4; }
    QPushButton *Command5() const { return m_command5; }
    PictureBox *Picture1() const { return m_picture1; }
    PictureBox *Picture2() const { return m_picture2; }
    PictureBox *Picture3() const { return m_picture3; }
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

    // --- Batch Convert page handlers (form1_convert.cpp) ---
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
    void Option1_Click(int index);
    // Converts every listed file on worker threads and returns at once; the
    // button, the busy pointer and any failure message follow the run's end.
    void Command1_Click();
    // Converts the selected file on a worker thread and returns at once; the
    // busy pointer stays until it is done, and a failure is then shown.
    void File1_DblClick();

    // --- Parse Clips page handlers (form1_rollover.cpp) ---
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    // Rows are plate rows; buttons 1 left, 2 right, 4 middle (a sum for a move).
    void Picture1_MouseDown(int button, int row);
    void Picture1_MouseMove(int buttons, int row);
    void Picture1_MouseUp(int button, int row);
    // Enter, Return or Delete on Picture1 (a Qt::Key) at the guide's row.
    void Picture1_KeyDown(int key, int row);
    // A picture dropped on a plate's box loads that plate as if it had been
    // picked in the plate dialog.
    void Picture1_DragDrop(const QString &file);
    void Picture2_DragDrop(const QString &file);
    void Picture3_DragDrop(const QString &file);

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Places the window again once it is first exposed (Form_Load).
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Stops a conversion run (form1_convert.cpp).
    void closeEvent(QCloseEvent *event) override;

private:
    template<typename T, std::size_t N>
    static T *element(const std::array<T *, N> &controls, int index)
    {
        return index >= 0 && std::size_t(index) < N ? controls[std::size_t(index)] : nullptr;
    }

    void buildControls();
    void buildMenus();
    void openStartFolders();
    void connectConversionPage();     // form1_convert.cpp
    void connectRolloverHandlers();   // form1_rollover.cpp
    void warn(const QString &text);
    void driveFault(DriveList *drives, FolderList *folders);
    // What the page's controls say now about the entry of File1 at `row`.
    convert::FileChoices conversionChoices(int row) const;
    bool sourcesMayBeReplaced(const QList<int> &rows, bool *asked);

    common::Dialogs &m_dialogs;
    common::Clipboard &m_clipboard;
    common::UrlOpener &m_opener;

    QString m_typepattern;
    bool m_restoring = false;
    QString m_outext;

    // Filled once, when the layout is built.
    TabControl *m_sstab1 = nullptr;
    QListWidget *m_list1 = nullptr;
    QListWidget *m_list2 = nullptr;
    std::array<QLabel *, 2> m_label1{};
    DriveList *m_drive1 = nullptr;
    DriveList *m_drive2 = nullptr;
    FolderList *m_dir1 = nullptr;
    FolderList *m_dir2 = nullptr;
    FileList *m_file1 = nullptr;
    QGroupBox *m_frame1 = nullptr;
    std::array<QRadioButton *, imaging::kFileTypeCount> m_option1{};
    std::array<QRadioButton *, 6> m_option2{}; // the layout has no element 2
    std::array<QLineEdit *, 2> m_text1{};
    std::array<QCheckBox *, imaging::kFileTypeCount> m_check1{};
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command5 = nullptr;
    PictureBox *m_picture1 = nullptr;
    PictureBox *m_picture2 = nullptr;
    PictureBox *m_picture3 = nullptr;
    QButtonGroup *m_option1Group = nullptr;
    QButtonGroup *m_option2Group = nullptr;
    imaging::ImageMan m_imageMan1;
    imaging::ImageMan m_imageMan3;

    // --- Rollover page state (form1_rollover.cpp) ---
    void showPlate(rollover::Plate plate, const rollover::PlateLoad &loaded);
    // Redraws the plates with `drawn` and shows the list after a release.
    void showReleased(const QList<int> &drawn);
    rollover::CutLineList m_cutLines; // the one record of the cut lines; List1 and List2 show it

    // The batch run and the double-clicked files (form1_convert.cpp).
    convert::BatchEngine *m_batch = nullptr;
    std::optional<BusyPointer> m_runPointer;
    QList<convert::LeftOut> m_runLeftOut; // what the running run's folder held that is not listed
    int m_singlesInHand = 0; // double-clicked files not yet done
    std::optional<BusyPointer> m_singlePointer;
};

} // namespace app
