#include "typefilter.h"

#include "common/maker.h"

#include <QSettings>
#include <QStringList>

namespace app {

namespace {

QSettings typeStore()
{
    return QSettings(QLatin1String(common::kProgramTitle), QLatin1String(common::kProgramTitle));
}

const QString kStoreKey = QStringLiteral("stashes/filetypes");

} // namespace

TypeTicks restoredTicks(const QString &pattern)
{
    TypeTicks ticks{};
    for (int i = 0; i < common::kFileTypeCount; ++i) {
        ticks[i] = pattern.contains(QLatin1String(common::kFileTypes[i].extension),
                                    Qt::CaseSensitive);
    }
    return ticks;
}

QString readStoredTypePattern()
{
    const QSettings store = typeStore();
    const QVariant value = store.value(kStoreKey, convert::defaultTypePattern());
    // A hand-edited value with a comma comes back as a list; its text is
    // still the pattern the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool storeTypePattern(const QString &pattern, QString *storeFile)
{
    QSettings store = typeStore();
    store.setValue(kStoreKey, pattern);
    store.sync();
    if (storeFile)
        *storeFile = store.fileName();
    return store.status() == QSettings::NoError;
}

QSizeF tabSizeForWindow(QSizeF outer, QSizeF current)
{
    QSizeF size = current;
    if (outer.width() > 5 && outer.width() - 100 > 0)
        size.setWidth(outer.width() - 100);
    if (outer.height() > 5 && outer.height() - 700 > 0)
        size.setHeight(outer.height() - 700);
    return size;
}

} // namespace app
