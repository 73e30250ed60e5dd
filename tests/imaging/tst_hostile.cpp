#include "common/nativename.h"
#include "imaging/imageman.h"
#include "pictures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <dirent.h>
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

// A name as the table writes it: \xHH is a byte that is not UTF-8, a{N} is N
// letters a.
QString tableName(const QString &written)
{
    QString name = written;
    static const QRegularExpression repeated(QStringLiteral("(.)\\{(\\d+)\\}"));
    for (QRegularExpressionMatch m = repeated.match(name); m.hasMatch(); m = repeated.match(name))
        name.replace(m.capturedStart(), m.capturedLength(), m.captured(1).repeated(m.captured(2).toInt()));
    QByteArray bytes = name.toUtf8();
    for (qsizetype at = bytes.indexOf("\\x"); at >= 0; at = bytes.indexOf("\\x", at + 1))
        bytes.replace(at, 4, QByteArray(1, char(bytes.mid(at + 2, 2).toInt(nullptr, 16))));
    return common::nameFromNative(bytes);
}

bool writeNative(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(common::nativeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return fd >= 0 && ::close(fd) == 0 && written;
}

// Makes the file a row names with "NAME = RECIPE" at `path`.
bool make(const QString &path, const QString &recipe)
{
    const QByteArray native = common::nativeName(path);
    if (recipe == QLatin1String("fifo"))
        return ::mkfifo(native.constData(), 0600) == 0;
    if (recipe == QLatin1String("link to fifo"))
        return ::mkfifo((native + ".fifo").constData(), 0600) == 0
            && ::symlink((native + ".fifo").constData(), native.constData()) == 0;
    return writeNative(path, testpictures::readAll(kFolder + QLatin1Char('/') + recipe));
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
            const bool made = field[0].contains(QLatin1String(" = "));
            QTest::newRow(qPrintable(made ? field[0] + QLatin1String(", ") + field[1] : field[0]))
                << field[0] << field[1] << field[2] << field[3].toInt();
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
        const auto removeMade = qScopeGuard([&] {
            if (path.startsWith(made.path()))
                ::unlink(common::nativeName(path).constData());
        });
        const bool loads = outcome != QLatin1String("refused");
        imaging::ImageMan imageMan;
        const std::chrono::seconds limit(limitSeconds);
        imageMan.setTimeLimit(limit);
        QElapsedTimer clock;
        clock.start();
        const imaging::Result result = imageMan.setImageFile(path);
        const auto took = std::chrono::milliseconds(clock.elapsed());

        QVERIFY2(took < limit + kWindDown, qPrintable(QStringLiteral("took %1 ms").arg(took.count())));
        QVERIFY2(result.ok() == loads, qPrintable(result.message()));
        if (!loads) {
            QVERIFY2(result.message().contains(file), qPrintable(result.message()));
            QVERIFY2(result.message().contains(reason), qPrintable(result.message()));
        }
        if (loads && outcome != QLatin1String("loads"))
            saveLoaded(imageMan, made.path(), outcome, reason);
    }

    // A child writing many pictures is killed part-way: the folder then holds
    // only whole pictures, and no hidden remains of the one in hand.
    void killedWriterLeavesWholeFiles()
    {
        QTemporaryDir dir;
        const int probe = ::open(QFile::encodeName(dir.path()).constData(), O_TMPFILE | O_WRONLY, 0600);
        if (probe < 0)
            QSKIP("the temporary folder cannot hold unnamed files, so a killed save may leave a hidden name");
        ::close(probe);
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
        const auto hiddenOrMany = [&] {
            DIR *folder = ::opendir(QFile::encodeName(dir.path()).constData());
            int count = 0;
            bool hidden = false;
            while (const dirent *entry = folder ? ::readdir(folder) : nullptr) {
                hidden = hidden || (entry->d_name[0] == '.' && std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."));
                ++count;
            }
            if (folder)
                ::closedir(folder);
            return hidden || count >= 22;
        };
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 120000 && !hiddenOrMany()) {
        }
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status), "the child ended before it was killed");
        const QStringList found = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : found) {
            QVERIFY2(QRegularExpression(QStringLiteral("^n\\d+\\.bmp$")).match(name).hasMatch(), qPrintable(name));
            imaging::ImageMan check;
            QVERIFY2(check.setImageFile(dir.filePath(name)), qPrintable(name));
            QCOMPARE(QSize(check.imageWidth(), check.imageHeight()), picture.size());
        }
        QVERIFY2(found.size() >= 20, qPrintable(found.join(QLatin1Char(' '))));
    }

private:
    // Saves the loaded picture as the row says ("saved as OUT", "kept from
    // OUT -> TARGET") in `folder`; a link put at the name stays as it was.
    void saveLoaded(imaging::ImageMan &imageMan, const QString &folder, const QString &outcome, const QString &reason)
    {
        const bool saves = outcome.startsWith(QLatin1String("saved as "));
        QString out = outcome.section(QLatin1Char(' '), 2);
        const QString target = out.section(QLatin1String(" -> "), 1).remove(QLatin1String(" (dangling)"));
        const bool dangling = out.endsWith(QLatin1String(" (dangling)"));
        out = folder + QLatin1Char('/') + tableName(out.section(QLatin1String(" -> "), 0, 0));
        const QString outFolder = out.left(out.lastIndexOf(QLatin1Char('/')));
        QVERIFY(QDir().mkpath(outFolder));
        const QString victim = QDir::cleanPath(outFolder + QLatin1Char('/') + target);
        if (!target.isEmpty()) {
            QVERIFY(dangling || writeNative(victim, "the victim"));
            QCOMPARE(::symlink(QFile::encodeName(target).constData(), common::nativeName(out).constData()), 0);
        }
        const auto removeSaved = qScopeGuard([&] { ::unlink(common::nativeName(out).constData()); });
        const imaging::Result saved = imageMan.saveImage(out);
        QVERIFY2(saved.ok() == saves, qPrintable(saved.message()));
        QVERIFY2(saved.message().contains(reason), qPrintable(saved.message()));
        if (saves) {
            imaging::ImageMan reread;
            QVERIFY2(reread.setImageFile(out), qPrintable(reread.setImageFile(out).message()));
            QCOMPARE(QSize(reread.imageWidth(), reread.imageHeight()), QSize(imageMan.imageWidth(), imageMan.imageHeight()));
        }
        if (!target.isEmpty()) {
            QCOMPARE(QFile::symLinkTarget(out), victim);
            QCOMPARE(QFile::exists(victim), !dangling);
            if (!dangling)
                QCOMPARE(testpictures::readAll(victim), QByteArray("the victim"));
        }
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
