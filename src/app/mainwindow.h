#pragma once

#include "app/busypointer.h"
#include "app/layout.h"
#include "common/desktop.h"
#include "convert/sourcefiles.h"
#include "imaging/formats.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/plateloader.h"

#include <QMainWindow>
#include <array>
#include <optional>

namespace convert {
class BatchEngine;
struct FileChoices;
} // namespace convert

namespace app {

// The program's one window: the tab control with the "Batch Convert" and
// "Parse Clips" pages, built from the layout table (layout.h), where each
// control's layout name is its objectName. The dialogs, clipboard and
// browser are reached only through the interfaces given here, which outlive
// the window. Window-wide handlers live in mainwindow.cpp, the Batch Convert
// page's in mainwindow_convert.cpp and the Parse Clips page's in
// mainwindow_rollover.cpp.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(common::Dialogs &dialogs, common::Clipboard &clipboard, common::UrlOpener &opener,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Values shared by the pages.
    QString typePattern() const { return m_typePattern; }
    bool restoring() const { return m_restoring; }
    QString outext() const { return m_outext; }

    // Controls by role; nullptr for an index the array lacks.
    TabControl *pages() const { return m_ui.pages; }
    QListWidget *cutLineList() const { return m_ui.cutLineList; }
    QListWidget *sortingList() const { return m_ui.sortingList; }
    DriveList *sourceDrives() const { return m_ui.sourceDrives; }
    DriveList *destinationDrives() const { return m_ui.destinationDrives; }
    FolderList *sourceFolders() const { return m_ui.sourceFolders; }
    FolderList *destinationFolders() const { return m_ui.destinationFolders; }
    FileList *sourceFiles() const { return m_ui.sourceFiles; }
    QGroupBox *sizeFrame() const { return m_ui.sizeFrame; }
    QRadioButton *formatButton(int type) const { return element(m_ui.formatButtons, type); }
    QRadioButton *sizeButton(convert::SizeChoice size) const { return element(m_ui.sizeButtons, int(size)); }
    QLineEdit *customWidthBox() const { return m_ui.customWidth; }
    QLineEdit *customHeightBox() const { return m_ui.customHeight; }
    QCheckBox *typeBox(int type) const { return element(m_ui.typeBoxes, type); }
    QPushButton *convertButton() const { return m_ui.convertButton; }
    QPushButton *loadNormalButton() const { return m_ui.loadNormalButton; }
    QPushButton *loadHighlightsButton() const { return m_ui.loadHighlightsButton; }
    QPushButton *loadSelectedButton() const { return m_ui.loadSelectedButton; }
    QPushButton *generateButton() const { return m_ui.generateButton; }
    PictureBox *backPlateBox() const { return m_ui.backPlate; }
    PictureBox *highlightPlateBox() const { return m_ui.highlightPlate; }
    PictureBox *selectedPlateBox() const { return m_ui.selectedPlate; }
    QButtonGroup *formatGroup() const { return m_ui.formatGroup; }
    QButtonGroup *sizeGroup() const { return m_ui.sizeGroup; }
    // The two imaging instances: not widgets, so never visible.
    imaging::ImageMan &plateReader() { return m_plateReader; }
    imaging::ImageMan &pieceWriter() { return m_pieceWriter; }

public slots:
    // Start-up: restores the file-type choice, shows the window, sets the
    // output format and moves the window to the top edge. Called once, by
    // whoever creates the window, before any user input is handled.
    void start();
    void fitPagesToWindow();

    void onExit();
    void onHelp();
    void onAbout();

    // --- Batch Convert page handlers (mainwindow_convert.cpp) ---
    void onSourceDriveChanged();
    void onSourceFolderChanged();
    void onDestinationDriveChanged();
    void onSourceFilesPathChanged();
    void onSourceFilesPatternChanged();
    void onTypeBoxClicked(int type);
    // Drops (droptarget.h): a folder on the source folders or files opens it
    // as the source folder, on the destination folders as the destination.
    void onSourceFolderDropped(const QString &folder);
    void onSourceFilesDropped(const QString &folder);
    void onDestinationFolderDropped(const QString &folder);
    void onFormatClicked(int type);
    // Converts every listed file on worker threads and returns at once; the
    // button, the busy pointer and any failure message follow the run's end.
    void onBatchConvert();
    // Converts the selected file on a worker thread and returns at once; the
    // busy pointer stays until it is done, and a failure is then shown.
    void onSourceFileDoubleClicked();

    // --- Parse Clips page handlers (mainwindow_rollover.cpp) ---
    void onLoadNormal();
    void onLoadHighlights();
    void onLoadSelected();
    void onGenerate();
    // Rows are plate rows; buttons 1 left, 2 right, 4 middle (a sum for a move).
    void onBackPlatePressed(int button, int row);
    void onBackPlateMoved(int buttons, int row);
    void onBackPlateReleased(int button, int row);
    // Enter, Return or Delete on the back plate (a Qt::Key) at the guide's row.
    void onBackPlateKey(int key, int row);
    // A picture dropped on a plate's box loads that plate as if it had been
    // picked in the plate dialog.
    void onBackPlateDropped(const QString &file);
    void onHighlightPlateDropped(const QString &file);
    void onSelectedPlateDropped(const QString &file);

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Places the window again once it is first exposed (start).
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Stops a conversion run (mainwindow_convert.cpp).
    void closeEvent(QCloseEvent *event) override;

private:
    template<typename T, std::size_t N>
    static T *element(const std::array<T *, N> &controls, int index)
    {
        return index >= 0 && std::size_t(index) < N ? controls[std::size_t(index)] : nullptr;
    }

    void buildMenus();
    void openStartFolders();
    void connectConversionPage();     // mainwindow_convert.cpp
    void connectRolloverHandlers();   // mainwindow_rollover.cpp
    void warn(const QString &text);
    void driveFault(DriveList *drives, FolderList *folders);
    // What the page's controls say now about the source list's entry at `row`.
    convert::FileChoices conversionChoices(int row) const;
    bool sourcesMayBeReplaced(const QList<int> &rows, bool *asked);

    common::Dialogs &m_dialogs;
    common::Clipboard &m_clipboard;
    common::UrlOpener &m_opener;

    QString m_typePattern;
    bool m_restoring = false;
    QString m_outext;

    Controls m_ui; // filled once, when the layout is built
    imaging::ImageMan m_plateReader;
    imaging::ImageMan m_pieceWriter;

    // --- Rollover page state (mainwindow_rollover.cpp) ---
    void showPlate(rollover::Plate plate, const rollover::PlateLoad &loaded);
    // Redraws the plates with `drawn` and shows the list after a release.
    void showReleased(const QList<int> &drawn);
    rollover::CutLineList m_cutLines; // the one record of the cut lines; both lists show it

    // The batch run and the double-clicked files (mainwindow_convert.cpp).
    convert::BatchEngine *m_batch = nullptr;
    std::optional<BusyPointer> m_runPointer;
    QList<convert::LeftOut> m_runLeftOut; // what the running run's folder held that is not listed
    int m_singlesInHand = 0; // double-clicked files not yet done
    std::optional<BusyPointer> m_singlePointer;
};

} // namespace app
