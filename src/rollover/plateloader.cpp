#include "plateloader.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "common/desktop.h"
#include "imaging/formats.h"
#include "imaging/imageman.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace rollover {

QString allPicturesPatterns()
{
    QStringList patterns;
    for (const imaging::Format &format : imaging::kFormats)
        patterns << QStringLiteral("*.") + QLatin1String(format.extension);
    return patterns.join(u';');
}

QString plateDialogFilter()
{
    const auto entry = [](const QString &description, QString patterns) {
        return description + QStringLiteral(" (") + patterns.replace(u';', u' ') + QLatin1Char(')');
    };
    const QString all = allPicturesPatterns();
    return entry(QLatin1String(kPlateFilterDescription), QLatin1String(kPlateFilterPatterns)) + QStringLiteral(";;")
        + entry(QStringLiteral("All pictures (%1)").arg(all), all);
}

PlateLoad askAndLoadPlate(Plate plate, common::Dialogs &dialogs, imaging::ImageMan &plateReader)
{
    const QString picked = dialogs.openFile(QLatin1String(kPlateDialogTitle), plateDialogFilter());
    if (picked.isEmpty())
        return {};
    return loadPlate(plate, picked, plateReader);
}

PlateLoad loadPlate(Plate plate, const QString &picked, imaging::ImageMan &plateReader)
{
    return loadPlateFile(picked, common::platePath(int(plate)), plateReader);
}

QImage readWorkingPlate(Plate plate)
{
    return QImageReader(common::platePath(int(plate))).read();
}

PlateLoad loadPlateFile(const QString &picked, const QString &target, imaging::ImageMan &plateReader)
{
    PlateLoad load;
    const auto fail = [&load](QString message) {
        load.outcome = PlateLoad::Outcome::Failed;
        load.message = std::move(message);
        return load;
    };
    if (const imaging::Result read = plateReader.setImageFile(picked); !read)
        return fail(read.message());

    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Cannot save %1: the folder %2 cannot be created.")
                        .arg(common::shownName(target), common::shownName(folder)));
    if (const imaging::Result saved = plateReader.saveImage(target); !saved)
        return fail(saved.message());

    QImageReader reader(target);
    QImage picture = reader.read();
    if (picture.isNull())
        return fail(QStringLiteral("Cannot show %1: %2.")
                        .arg(common::shownName(target), reader.errorString()));

    load.outcome = PlateLoad::Outcome::Loaded;
    load.platePath = target;
    load.picture = std::move(picture);
    return load;
}

} // namespace rollover
