// kelvaro-render on every file of the bad-input corpus: no crash, no sanitizer report, no hang;
// either exit 0 with a valid eight-frame GIF, or exit 1 with exactly one line on stderr.
#include "CorpusGenerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// Each case may take 10 s of processor time (the kernel stops it after that); a case that is
// still running after a minute of wall time waits for something that never comes. Wall time alone
// would call a case that shares a busy machine hung.
constexpr rlim_t CaseCpuSeconds = 10;
constexpr qint64 HangMs = 60000;

struct Case {
    QString name;
    QString gif;
    std::unique_ptr<QProcess> process;
    QElapsedTimer clock;
    qint64 ms = 0;
    bool timedOut = false;
};

// The group a case belongs to in the summary: the part of its name before the first '-' or digit.
QString Category(const QString& name) {
    qsizetype end = 0;
    while (end < name.size() && name[end].isLetter())
        ++end;
    return end == 0 ? QStringLiteral("other") : name.left(end);
}

} // namespace

class TestCorpus : public QObject {
    Q_OBJECT
private slots:
    void everyFileEndsCleanly() {
        QTemporaryDir corpus;
        QTemporaryDir out;
        QVERIFY(corpus.isValid() && out.isValid());
        const int made = MakeCorpus(corpus.path());
        QVERIFY(made > 0);
        const QStringList names =
            QDir(corpus.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                           QDir::Name);
        // All but the name that is not UTF-8 (QDir lists it under a name that opens nothing).
        QVERIFY(names.size() >= made - 1);

        std::vector<std::unique_ptr<Case>> cases;
        for (const QString& name : names) {
            auto c = std::make_unique<Case>();
            c->name = name;
            c->gif = out.filePath(QStringLiteral("case-%1.gif").arg(cases.size()));
            cases.push_back(std::move(c));
        }

        // Two at a time: the machines that run this have two cores.
        const size_t parallel = size_t(std::max(2, QThread::idealThreadCount()));
        size_t next = 0, done = 0;
        std::vector<Case*> running;
        while (done < cases.size()) {
            while (running.size() < parallel && next < cases.size()) {
                Case& c = *cases[next++];
                c.process = std::make_unique<QProcess>();
                c.process->setChildProcessModifier([] {
                    const rlimit cpu{CaseCpuSeconds, CaseCpuSeconds + 1};
                    ::setrlimit(RLIMIT_CPU, &cpu);
                });
                c.clock.start();
                c.process->start(
                    QStringLiteral(KELVARO_RENDER_PATH),
                    {QDir(corpus.path()).filePath(c.name), QStringLiteral("-o"), c.gif});
                running.push_back(&c);
            }
            running.front()->process->waitForFinished(20);
            for (auto it = running.begin(); it != running.end();) {
                Case& c = **it;
                if (c.process->state() != QProcess::NotRunning && c.clock.elapsed() > HangMs) {
                    c.timedOut = true;
                    c.process->kill();
                    c.process->waitForFinished(5000);
                }
                if (c.process->state() == QProcess::NotRunning) {
                    c.ms = c.clock.elapsed();
                    it = running.erase(it);
                    ++done;
                } else {
                    ++it;
                }
            }
        }

        QMap<QString, QMap<QString, int>> outcomes;
        const Case* slowest = nullptr;
        QStringList faults;
        for (const auto& c : cases) {
            const QString err = QString::fromUtf8(c->process->readAllStandardError());
            const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            const int status = c->process->exitCode();
            QString outcome;
            if (c->timedOut)
                outcome = QStringLiteral("hang");
            else if (c->process->exitStatus() != QProcess::NormalExit)
                outcome = status == SIGXCPU
                              ? QStringLiteral("over %1 s of processor time").arg(CaseCpuSeconds)
                              : QStringLiteral("crash");
            else if (err.contains(QLatin1String("Sanitizer")) ||
                     err.contains(QLatin1String("runtime error")))
                outcome = QStringLiteral("sanitizer");
            else if (status == 0) {
                QImageReader gif(c->gif);
                const bool valid =
                    gif.format() == "gif" && gif.imageCount() == 8 && !gif.read().isNull();
                const bool ownLines = std::all_of(lines.begin(), lines.end(), [](const QString& l) {
                    return l.startsWith(QLatin1String("kelvaro-render: "));
                });
                outcome = valid && ownLines ? QStringLiteral("gif") : QStringLiteral("bad gif");
            } else if (status == 1) {
                outcome = lines.size() == 1 &&
                                  lines.front().startsWith(QLatin1String("kelvaro-render: ")) &&
                                  !QFileInfo::exists(c->gif)
                              ? QStringLiteral("refused")
                              : QStringLiteral("bad refusal");
            } else {
                outcome = QStringLiteral("exit %1").arg(status);
            }
            ++outcomes[Category(c->name)][outcome];
            if (outcome != QLatin1String("gif") && outcome != QLatin1String("refused"))
                faults << QStringLiteral("%1: %2 (%3 ms)\n%4")
                              .arg(c->name, outcome)
                              .arg(c->ms)
                              .arg(err);
            if (!slowest || c->ms > slowest->ms)
                slowest = c.get();
        }

        RemoveUnnamableFiles(corpus.path());
        std::printf("corpus: %zu cases\n", cases.size());
        for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it) {
            QStringList parts;
            for (auto o = it.value().cbegin(); o != it.value().cend(); ++o)
                parts << QStringLiteral("%1 %2").arg(o.key()).arg(o.value());
            std::printf("  %-12s %s\n", qPrintable(it.key()),
                        qPrintable(parts.join(QStringLiteral(", "))));
        }
        if (slowest)
            std::printf("  slowest: %s, %lld ms\n", qPrintable(slowest->name), slowest->ms);
        std::fflush(stdout);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
