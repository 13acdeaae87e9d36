#include "imaging/FileNames.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelvaro;

namespace {

QByteArray ReadAll(const QByteArray& name) {
    QByteArray bytes;
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

} // namespace

class TestFileNames : public QObject {
    Q_OBJECT

private slots:
    void bytesRoundTrip_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("stray");
        QTest::newRow("ascii") << QByteArray("dir/photo.jpg") << false;
        QTest::newRow("utf-8 of every length")
            << QByteArray("caf\xc3\xa9 \xe5\x86\x99\xe7\x9c\x9f \xf0\x9f\x93\xb7.png") << false;
        // Full-width forms (U+FF00-U+FFEF, led by 0xEF) are common in Japanese names; 0xE0 leads
        // the lowest three-byte characters (Thai here); U+FFFD is a character like any other.
        QTest::newRow("led by 0xef and 0xe0")
            << QByteArray("\xe5\x86\x99\xe7\x9c\x9f\xef\xbc\x88\xef\xbc\x91\xef\xbc\x89 "
                          "\xe0\xb8\x81\xe0\xa0\x80 \xef\xbf\xbd\xef\xbf\xaf.png")
            << false;
        QTest::newRow("overlong after 0xe0") << QByteArray("\xe0\x80\xaf.png") << true;
        QTest::newRow("latin-1") << QByteArray("caf\xe9.gif") << true;
        QTest::newRow("shift_jis") << QByteArray("\x8e\xca\x90\x5e.jpg") << true;
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf"
                                                      "b")
                                        << true;
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80x") << true;
        QTest::newRow("beyond unicode") << QByteArray("\xf4\x90\x80\x80") << true;
        QTest::newRow("cut short") << QByteArray("x\xe5\x86") << true;
        QByteArray every;
        for (int b = 1; b < 256; ++b)
            every.append(char(b));
        QTest::newRow("every byte") << every << true;
    }
    void bytesRoundTrip() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, stray);
        const QString name = FileNameFromBytes(bytes);
        QCOMPARE(FileNameBytes(name), bytes);
        QCOMPARE(HoldsStrayBytes(name), stray);
        if (!stray) {
            QCOMPARE(name, QString::fromUtf8(bytes));
            QCOMPARE(DisplayFileName(name), QString::fromUtf8(bytes));
        }
        // What messages show is valid text: stray bytes become replacement characters.
        QCOMPARE(DisplayFileName(name), QString::fromUtf8(DisplayFileName(name).toUtf8()));
    }

    void strayNamesReadAndWriteByTheirBytes() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray target = folder + "/caf\xe9.dat";
        const QString name = FileNameFromBytes(target);

        QVERIFY(WriteFileAtomically(name, "first"));
        QVERIFY(::chmod(target.constData(), 0640) == 0);
        QVERIFY(WriteFileAtomically(name, "second"));
        QCOMPARE(ReadAll(target), QByteArray("second"));
        struct stat s {};
        QVERIFY(::stat(target.constData(), &s) == 0);
        QCOMPARE(int(s.st_mode & 0777), 0640); // the old file's permissions carry over
        QStringList entries;
        QVERIFY(ListFolder(FileNameFromBytes(folder), entries));
        QCOMPARE(entries, QStringList{FileNameFromBytes("caf\xe9.dat")}); // no temporary left

        const OpenedFile opened = OpenFileForReading(name);
        QVERIFY2(opened.file, qPrintable(opened.reason));
        QCOMPARE(opened.file->readAll(), QByteArray("second"));

        // A write into a folder that is not there fails and creates nothing.
        QVERIFY(!WriteFileAtomically(FileNameFromBytes(folder + "/\xff/x"), "x"));
        QVERIFY(ListFolder(FileNameFromBytes(folder), entries));
        QCOMPARE(entries.size(), 1);
        QVERIFY(RemoveName(name)); // QTemporaryDir cannot reach it
    }

    void readingRefusesWhatIsNoFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        // A FIFO without a writer must be refused at once, not wait for one.
        QVERIFY(!OpenFileForReading(FileNameFromBytes(fifo)).file);
        QVERIFY(!OpenFileForReading(dir.path()).file);
        QVERIFY(!OpenFileForReading(dir.filePath(QStringLiteral("none"))).file);
    }
};

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_filenames.moc"
