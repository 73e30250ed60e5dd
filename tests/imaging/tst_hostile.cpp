#include "common/nativename.h"
#include "imaging/imageman.h"
#include "pictures.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString kFolder = QStringLiteral(KESTRUNE_TEST_DATA "/hostile");
// A load stopped at its limit still has to wind down (kill a child, free the
// picture); this much more is allowed.
constexpr auto kWindDown = 1500ms;
// The sanitizers make our own codecs several times slower; a save's limit is
// set for the plain build.
#ifdef KESTRUNE_SANITIZED
constexpr int kSanitizerSlowdown = 4;
#else
constexpr int kSanitizerSlowdown = 1;
#endif

// A name as the table writes it, \xHH being a byte that is not UTF-8.
QString tableName(const QString &written)
{
    return common::nameFromNative(QByteArray::fromPercentEncoding(written.toUtf8().replace("\\x", "%")));
}

// Makes the file a row names with "NAME = RECIPE" at `path`; a stored file is
// reached through a link, as users keep them.
bool make(const QString &path, const QString &recipe)
{
    const QByteArray native = common::nativeName(path), fifo = recipe == QLatin1String("fifo") ? native : native + ".fifo";
    if (recipe.endsWith(QLatin1String("fifo")) && ::mkfifo(fifo.constData(), 0600) != 0)
        return false;
    const QByteArray target = recipe.endsWith(QLatin1String("fifo")) ? fifo : QFile::encodeName(kFolder + QLatin1Char('/') + recipe);
    return target == native || ::symlink(target.constData(), native.constData()) == 0;
}

} // namespace

// Files made to hurt, listed in tests/data/hostile/cases.tsv: each row names a
// file, whether it loads or is refused, a part of the refusal's message, and
// the time limit the load runs under. Every load must end within its limit.
class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void load_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("limitSeconds");

        const QList<QStringList> rows = testpictures::tableRows(kFolder + QStringLiteral("/cases.tsv"));
        QVERIFY2(!rows.isEmpty(), "the cases are missing");
        static const QRegularExpression outcomes(QStringLiteral("^(loads|refused|saved as .+|kept from .+)$"));
        for (const QStringList &field : rows) {
            QVERIFY2(field.size() == 4 && outcomes.match(field[1]).hasMatch(),
                     qPrintable(QStringLiteral("bad row: ") + field.join(QLatin1Char('\t'))));
            QTest::newRow(qPrintable(field[0])) << field[0] << field[1] << field[2] << field[3].toInt();
        }
    }

    void load()
    {
        QFETCH(QString, file);
        QFETCH(QString, outcome);
        QFETCH(QString, reason);
        QFETCH(int, limitSeconds);

        QTemporaryDir made;
        QString path = kFolder + QLatin1Char('/') + file;
        if (file.contains(QLatin1String(" = "))) {
            const QString recipe = file.section(QLatin1String(" = "), 1);
            file = file.section(QLatin1String(" = "), 0, 0);
            path = made.path() + QLatin1Char('/') + tableName(file);
            QVERIFY2(make(path, recipe), qPrintable(recipe));
        }
        // The temporary folder cannot remove names that are not UTF-8.
        const auto removeMade = qScopeGuard([&] { path.startsWith(made.path()) && ::unlink(common::nativeName(path).constData()); });
        const bool loads = outcome != QLatin1String("refused");
        imaging::ImageMan imageMan;
        const std::chrono::seconds limit(limitSeconds);
        imageMan.setTimeLimit(limit);
        QElapsedTimer clock;
        clock.start();
        const imaging::Result result = imageMan.setImageFile(path);
        const auto took = std::chrono::milliseconds(clock.elapsed());

        QVERIFY2(took < limit + kWindDown, qPrintable(QStringLiteral("took %1 ms").arg(took.count())));
        QVERIFY2(result.ok() == loads && (loads || (result.message().contains(file) && result.message().contains(reason))),
                 qPrintable(result.message()));
        if (loads && outcome != QLatin1String("loads"))
            saveLoaded(imageMan, made.path(), outcome, reason);
    }

    // Pictures made to hurt an encoder, generated here rather than stored; each
    // save must end within its limit, and those that fail say why.
    void save_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason"); // empty: it saves
        QTest::addColumn<int>("limitMs");
        const QImage tall = testpictures::noise(1, 32767), wide = testpictures::noise(32767, 1);
        QTest::newRow("1 x 32767 noise to RLE") << tall << "tall.rle" << "" << 3000;
        QTest::newRow("32767 x 1 noise to RLE") << wide << "wide.rle" << "" << 3000;
        QTest::newRow("1 x 32767 noise to PCX") << tall << "tall.pcx" << "" << 3000;
        QTest::newRow("noise to RLE out of time") << testpictures::noise(2000, 2000) << "big.rle" << "took longer than" << 1;
        // The encoder is stopped between its passes, not left to finish.
        QTest::newRow("noise to WebP out of time") << testpictures::noise(3000, 3000) << "big.webp" << "took longer than" << 300;
        QTest::newRow("16384 x 1 noise to WebP") << testpictures::noise(16384, 1) << "wide.webp"
                                                 << "a WebP picture is at most 16383 pixels on a side" << 3000;
    }

    void save()
    {
        QFETCH(QImage, picture);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QFETCH(int, limitMs);
        QTemporaryDir dir;
        imaging::ImageMan imageMan;
        QVERIFY(imageMan.setImage(picture));
        const std::chrono::milliseconds limit(limitMs * kSanitizerSlowdown);
        imageMan.setTimeLimit(limit);
        QElapsedTimer clock;
        clock.start();
        const imaging::Result result = imageMan.saveImage(dir.filePath(file));
        const auto took = std::chrono::milliseconds(clock.elapsed());

        QVERIFY2(took < limit + kWindDown, qPrintable(QStringLiteral("took %1 ms").arg(took.count())));
        QVERIFY2(result.ok() == reason.isEmpty() && result.message().contains(reason), qPrintable(result.message()));
        QCOMPARE(QFile::exists(dir.filePath(file)), reason.isEmpty());
    }

    // A child writing many pictures is killed part-way: the folder then holds
    // only whole pictures, and no hidden remains of the one in hand.
    void killedWriterLeavesWholeFiles()
    {
        QTemporaryDir dir;
        if (const int probe = ::open(QFile::encodeName(dir.path()).constData(), O_TMPFILE | O_WRONLY, 0600); probe >= 0)
            ::close(probe);
        else
            QSKIP("the temporary folder cannot hold unnamed files, so a killed save may leave a hidden name");
        const QImage picture = testpictures::noise(1500, 1000);
        const pid_t child = ::fork();
        if (child == 0) {
            imaging::ImageMan imageMan;
            bool saved = imageMan.setImage(picture).ok();
            for (int n = 0; n < 100000 && saved; ++n)
                saved = imageMan.saveImage(dir.filePath(QStringLiteral("n%1.bmp").arg(n))).ok();
            ::_exit(1);
        }
        QVERIFY(child > 0);
        // Killed as soon as a hidden name shows, so that one is caught if made.
        const auto listed = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); };
        for (const QDeadlineTimer patience(120000); !patience.hasExpired();) {
            if (const QStringList names = listed(); names.size() >= 22 || names.value(0).startsWith(QLatin1Char('.')))
                break;
        }
        ::kill(child, SIGKILL);
        int status = 0;
        QVERIFY(::waitpid(child, &status, 0) == child && WIFSIGNALED(status));
        const QStringList found = listed();
        QVERIFY2(found.size() >= 20 && found.filter(QRegularExpression(QStringLiteral("^n\\d+\\.bmp$"))) == found,
                 qPrintable(found.join(QLatin1Char(' '))));
        for (const QString &name : found)
            QVERIFY2(imaging::ImageMan().setImageFile(dir.filePath(name)), qPrintable(name));
    }

private:
    // Saves the loaded picture as the row says in `folder`; a link put at the
    // name first, and what it leads to, stay as they were.
    void saveLoaded(imaging::ImageMan &imageMan, const QString &folder, const QString &outcome, const QString &reason)
    {
        const QStringList parts = outcome.section(QLatin1Char(' '), 2).split(QLatin1String(" -> "));
        const QString out = folder + QLatin1Char('/') + tableName(parts[0]);
        const bool link = parts.size() > 1, dangling = parts.last().endsWith(QLatin1String(" (dangling)"));
        const QString target = QString(parts.last()).remove(QLatin1String(" (dangling)"));
        const QString victim = QDir::cleanPath(out + QLatin1String("/../") + target);
        QVERIFY(QDir().mkpath(out.left(out.lastIndexOf(QLatin1Char('/')))));
        if (link && !dangling)
            testpictures::writeBytes(victim, "the victim");
        QVERIFY(!link || ::symlink(QFile::encodeName(target).constData(), common::nativeName(out).constData()) == 0);
        const auto removeSaved = qScopeGuard([&] { ::unlink(common::nativeName(out).constData()); });
        const imaging::Result saved = imageMan.saveImage(out);
        QVERIFY2(saved.ok() == outcome.startsWith(QLatin1String("saved as ")) && saved.message().contains(reason),
                 qPrintable(saved.message()));
        QVERIFY2(!saved || imaging::ImageMan().setImageFile(out), "the saved file does not load");
        if (link) {
            QCOMPARE(QFile::symLinkTarget(out), victim);
            QCOMPARE(QFile::exists(victim) ? testpictures::readAll(victim) : "none", dangling ? "none" : "the victim");
        }
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
