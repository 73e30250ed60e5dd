#include "generaterun.h"

#include "common/nativename.h"
#include "common/numberreader.h"
#include "common/paths.h"
#include "common/desktop.h"
#include "cutlinelist.h"
#include "imaging/imageman.h"
#include "piecerun.h"
#include "pieces.h"

#include <QDir>
#include <QFileInfo>

namespace rollover {

namespace {

const QString kSavingTitle = QStringLiteral("Saving File Pieces");
const QString kHeaderTitle = QStringLiteral("File Name Header");

QString confirmationText()
{
    return QStringLiteral("All files will be written to the %1 directory, all existing files in this directory will be deleted. Do you want to proceed?")
        .arg(common::shownName(common::outputFolder()));
}

} // namespace

double jpegQuality(QStringView answer)
{
    return common::readLeadingNumber(answer);
}

GenerateRun::GenerateRun(common::Dialogs &dialogs, common::Clipboard &clipboard,
                         imaging::ImageMan &plateReader, imaging::ImageMan &pieceWriter)
    : m_dialogs(dialogs)
    , m_clipboard(clipboard)
    , m_plateReader(plateReader)
    , m_pieceWriter(pieceWriter)
{
}

GenerateRun::Outcome GenerateRun::run(const CutLineList &cutLines)
{
    m_failures.clear();
    if (!platesFit(cutLines))
        return Outcome::PlatesRefused;
    const QString answer = m_dialogs.inputBox(QStringLiteral("Enter in the compression rate for JPG's"),
                                              QStringLiteral("JPG Compression"), QStringLiteral("100"));
    if (answer.isEmpty())
        return Outcome::RateCancelled;
    m_pieceWriter.setJpegQuality(jpegQuality(answer));
    if (!m_dialogs.askYesNo(confirmationText(), kSavingTitle))
        return Outcome::NotConfirmed;

    // Both folders are made before either is emptied, as the user was told.
    for (const QString &folder : {common::outputFolder(), common::imagesFolder()}) {
        if (!QDir().mkpath(folder))
            m_failures.append(QStringLiteral("The folder %1 cannot be created.").arg(common::shownName(folder)));
    }
    prepareFolder(common::outputFolder());
    prepareFolder(common::imagesFolder());

    const QString header = askHeader();
    if (header.isEmpty()) {
        reportFailures();
        return Outcome::HeaderCancelled;
    }
    m_failures += writePiecesAndPage(RunPlaces::fixed(), header, cutLines.rows(), m_plateReader, m_pieceWriter,
                                     &m_clipboard);
    reportFailures();
    return Outcome::Finished;
}

bool GenerateRun::platesFit(const CutLineList &cutLines)
{
    const RunPlaces places = RunPlaces::fixed();
    const std::optional<std::array<QSize, kPlateCount>> sizes = readPlateSizes(places, m_plateReader);
    if (!sizes) {
        m_dialogs.messageBox(QLatin1String(kLoadPlatesFirst), kSavingTitle, common::Dialogs::Icon::Warning);
        return false;
    }
    std::array<QString, kPlateCount> names;
    for (Plate plate : kPlates)
        names[int(plate)] = common::shownName(places.plates[int(plate)]);
    if (const std::optional<PlateFault> fault = plateFault(*sizes, names, cutLines.rows())) {
        m_dialogs.messageBox(fault->message, kSavingTitle, common::Dialogs::Icon::Warning);
        return false;
    }
    return true;
}

// Files only: a folder the user keeps in the output folder survives with its
// contents.
void GenerateRun::prepareFolder(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        return;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        QFile victim(file.absoluteFilePath());
        if (!victim.remove())
            m_failures.append(QStringLiteral("%1 cannot be deleted: %2.")
                                  .arg(common::shownName(file.absoluteFilePath()), victim.errorString()));
    }
}

QString GenerateRun::askHeader()
{
    for (;;) {
        const QString header = m_dialogs.inputBox(
            QStringLiteral("Enter in the left first three charachters of the file names."),
            kHeaderTitle, QStringLiteral("TST"));
        if (header.isEmpty())
            return header;
        const std::optional<QString> fault = headerFault(header);
        if (!fault)
            return header;
        m_dialogs.messageBox(QStringLiteral("The file name header \"%1\" cannot be used: %2. Please enter another one.")
                                 .arg(header, *fault),
                             kHeaderTitle, common::Dialogs::Icon::Warning);
    }
}

void GenerateRun::reportFailures()
{
    if (m_failures.isEmpty())
        return;
    QStringList shown = m_failures.mid(0, kMaxListedFailures);
    if (m_failures.size() > kMaxListedFailures)
        shown.append(QStringLiteral("... and %1 more.").arg(m_failures.size() - kMaxListedFailures));
    m_dialogs.messageBox(QStringLiteral("Not everything could be written:\n\n") + shown.join(u'\n'),
                         kSavingTitle, common::Dialogs::Icon::Warning);
}

} // namespace rollover
