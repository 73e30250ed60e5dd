#include "generaterun.h"

#include "common/numberreader.h"
#include "common/paths.h"
#include "common/platform.h"
#include "cutlinelist.h"
#include "imaging/imageman.h"
#include "pagetext.h"
#include "pieces.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <cmath>

namespace rollover {

namespace {

const QString kSavingTitle = QStringLiteral("Saving File Pieces");
const QString kHeaderTitle = QStringLiteral("File Name Header");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

double compressionRate(QStringView answer)
{
    double rate = common::readLeadingNumber(answer);
    if (std::isnan(rate))
        rate = 0;
    if (rate > 100)
        rate = 100;
    if (rate < 20)
        rate = 20;
    return rate;
}

QString confirmationText()
{
    return QStringLiteral("All files will be written to the %1 directory, all existing files in this directory will be deleted. Do you want to proceed?")
        .arg(native(common::outputFolder()));
}

GenerateRun::GenerateRun(common::Dialogs &dialogs, common::Clipboard &clipboard,
                         imaging::ImageMan &imageMan1, imaging::ImageMan &imageMan3)
    : m_dialogs(dialogs)
    , m_clipboard(clipboard)
    , m_imageMan1(imageMan1)
    , m_imageMan3(imageMan3)
{
}

GenerateRun::Outcome GenerateRun::run(const CutLineList &cutLines)
{
    m_failures.clear();
    const QString answer = m_dialogs.inputBox(QStringLiteral("Enter in the compression rate for JPG's"),
                                              QStringLiteral("JPG Compression"), QStringLiteral("100"));
    if (answer.isEmpty())
        return Outcome::RateCancelled;
    m_imageMan3.setJpegQuality(compressionRate(answer));
    if (!m_dialogs.askYesNo(confirmationText(), kSavingTitle))
        return Outcome::NotConfirmed;

    // Both folders are made before either is emptied, as the user was told.
    for (const QString &folder : {common::outputFolder(), common::imagesFolder()}) {
        if (!QDir().mkpath(folder))
            m_failures.append(QStringLiteral("The folder %1 cannot be created.").arg(native(folder)));
    }
    prepareFolder(common::outputFolder());
    prepareFolder(common::imagesFolder());

    const QString header = askHeader();
    if (header.isEmpty()) {
        reportFailures();
        return Outcome::HeaderCancelled;
    }
    const QList<int> rows = cutLines.rows();
    cutPlates(header, rows);
    writePage(header, int(rows.size()) + 1);
    reportFailures();
    return Outcome::Finished;
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
                                  .arg(native(file.absoluteFilePath()), victim.errorString()));
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

void GenerateRun::cutPlates(const QString &header, const QList<int> &rows)
{
    const int pieceCount = int(rows.size()) + 1;
    for (Plate plate : kPlates) {
        // A plate that cannot be read gives no pieces at all, so that nothing
        // of another plate is saved under its letter.
        if (const imaging::Result read = m_imageMan1.setImageFile(common::platePath(int(plate))); !read) {
            const QString names = pieceCount == 1
                ? pieceFileName(header, plate, 0)
                : QStringLiteral("%1 to %2").arg(pieceFileName(header, plate, 0),
                                                 pieceFileName(header, plate, pieceCount - 1));
            m_failures.append(QStringLiteral("%1 not written: %2").arg(names, read.message()));
            continue;
        }
        const QList<QRect> rects =
            pieceRects(rows, QSize(m_imageMan1.imageWidth(), m_imageMan1.imageHeight()));
        for (int n = 0; n < pieceCount; ++n) {
            const QRect &rect = rects[n];
            m_imageMan1.setSelectTop(rect.top());
            m_imageMan1.setSelectLeft(rect.left());
            m_imageMan1.setSelectRight(rect.right());
            m_imageMan1.setSelectBottom(rect.bottom());
            // Paste and save only after a good copy: the holder would still
            // carry the previous piece, which must not appear under this name.
            imaging::Result step = m_imageMan1.copySelection();
            if (step)
                step = m_imageMan3.pasteImage();
            if (step)
                step = m_imageMan3.saveImage(piecePath(header, plate, n));
            if (!step)
                m_failures.append(QStringLiteral("%1 not written: %2")
                                      .arg(pieceFileName(header, plate, n), step.message()));
        }
    }
    imaging::clearHeldPicture();
    m_clipboard.clear();
}

void GenerateRun::writePage(const QString &header, int pieceCount)
{
    QList<QSize> sizes;
    sizes.reserve(pieceCount);
    for (int n = 0; n < pieceCount; ++n) {
        // An unreadable piece leaves the instance without a picture: its entry
        // gets the size 0 x 0, and the failure is listed.
        if (const imaging::Result read = m_imageMan1.setImageFile(piecePath(header, Plate::Back, n)); !read)
            m_failures.append(QStringLiteral("The page gives %1 no size: %2")
                                  .arg(pieceFileName(header, Plate::Back, n), read.message()));
        sizes.append(QSize(m_imageMan1.imageWidth(), m_imageMan1.imageHeight()));
    }
    const QString text = pageText(header, sizes);
    m_clipboard.setText(text);

    // The file ends with a line end, as a printed text file does; the
    // clipboard holds the text without one.
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(text + QStringLiteral("\r\n"));
    const QString path = common::pagePath();
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly))
        error = file.errorString();
    else if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
    } else if (!file.commit())
        error = file.errorString();
    if (!error.isEmpty())
        m_failures.append(QStringLiteral("The page %1 not written: %2.").arg(native(path), error));
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
