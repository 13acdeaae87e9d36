// The include graph of src/: no file reaches itself through its includes, no layer includes a
// higher one, and the core layers use no widgets. Read from the sources themselves.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <map>
#include <set>

namespace {

// The layers, lowest first (see docs/ARCHITECTURE.md).
const QStringList Layers = {
    QStringLiteral("imaging"), QStringLiteral("encode"), QStringLiteral("depth"),
    QStringLiteral("gif"),     QStringLiteral("files"),  QStringLiteral("document"),
    QStringLiteral("ui"),      QStringLiteral("editor"), QStringLiteral("app"),
};

// The layers below the window, which do their work without QtWidgets.
const QStringList Core = {QStringLiteral("imaging"), QStringLiteral("encode"),
                          QStringLiteral("depth"), QStringLiteral("gif"),
                          QStringLiteral("document")};

// Every file (its path under src/) and the files of src/ it includes.
using Graph = std::map<QString, QStringList>;

// The quoted includes of a source file, and its angle-bracketed ones.
struct Includes {
    QStringList quoted;
    QStringList system;
};

Includes IncludesOf(const QString& text) {
    static const QRegularExpression line(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^">]+)[">])"),
                                         QRegularExpression::MultilineOption);
    Includes found;
    for (auto it = line.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        (m.captured(1) == QLatin1String("\"") ? found.quoted : found.system) << m.captured(2);
    }
    return found;
}

QString LayerOf(const QString& path) {
    return path.section(QLatin1Char('/'), 0, 0);
}

// Includes of a higher layer than the including file's, as "file -> included".
QStringList UpwardIncludes(const Graph& graph) {
    QStringList found;
    for (const auto& [file, included] : graph)
        for (const QString& target : included) {
            const qsizetype from = Layers.indexOf(LayerOf(file));
            const qsizetype to = Layers.indexOf(LayerOf(target));
            if (from < 0 || to < 0 || to > from)
                found << file + QStringLiteral(" -> ") + target;
        }
    return found;
}

// One chain of includes that leads back to where it started ("a -> b -> a"), or empty.
QString Cycle(const Graph& graph) {
    enum class Mark { Open, Done };
    std::map<QString, Mark> marks;
    QStringList path;
    QString cycle;
    const std::function<bool(const QString&)> visit = [&](const QString& file) {
        if (const auto it = marks.find(file); it != marks.end()) {
            if (it->second == Mark::Done)
                return false;
            cycle = (path.mid(path.indexOf(file)) << file).join(QStringLiteral(" -> "));
            return true;
        }
        marks[file] = Mark::Open;
        path << file;
        if (const auto it = graph.find(file); it != graph.end())
            for (const QString& target : it->second)
                if (visit(target))
                    return true;
        path.removeLast();
        marks[file] = Mark::Done;
        return false;
    };
    for (const auto& entry : graph)
        if (visit(entry.first))
            return cycle;
    return {};
}

} // namespace

class TestLayers : public QObject {
    Q_OBJECT

    QDir src_{QStringLiteral(KELVARO_SOURCE_DIR)};
    Graph graph_;
    std::map<QString, QStringList> systemIncludes_;

private slots:
    void initTestCase() {
        QDirIterator files(src_.path(), {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            const Includes includes = IncludesOf(QString::fromUtf8(file.readAll()));
            const QString name = src_.relativeFilePath(path);
            QStringList& targets = graph_[name];
            // Includes name files from src/ (the include path); others are generated ones.
            for (const QString& target : includes.quoted)
                if (QFile::exists(src_.filePath(target)))
                    targets << target;
            systemIncludes_[name] = includes.system;
        }
        QVERIFY(graph_.size() > 100);
        QVERIFY(graph_.count(QStringLiteral("imaging/Result.h")));
    }

    // The checks find what they look for.
    void checksCatchFaults() {
        const QStringList upward =
            UpwardIncludes({{QStringLiteral("depth/A.h"), {QStringLiteral("imaging/B.h")}},
                            {QStringLiteral("imaging/B.h"), {QStringLiteral("gif/C.h")}},
                            {QStringLiteral("misc/D.h"), {}}});
        QCOMPARE(upward, QStringList(QStringLiteral("imaging/B.h -> gif/C.h")));
        QCOMPARE(Cycle({{QStringLiteral("a"), {QStringLiteral("b")}},
                        {QStringLiteral("b"), {QStringLiteral("c")}},
                        {QStringLiteral("c"), {QStringLiteral("b")}}}),
                 QStringLiteral("b -> c -> b"));
        QCOMPARE(Cycle({{QStringLiteral("a"), {QStringLiteral("b"), QStringLiteral("c")}},
                        {QStringLiteral("b"), {QStringLiteral("c")}},
                        {QStringLiteral("c"), {}}}),
                 QString());
        const Includes found = IncludesOf(QStringLiteral(
            "#include \"gif/X.h\"\n  # include <QWidget>\n// #include \"no.h\" in a comment\n"));
        QCOMPARE(found.quoted, QStringList(QStringLiteral("gif/X.h")));
        QCOMPARE(found.system, QStringList(QStringLiteral("QWidget")));
    }

    void everyFileIsInALayer() {
        QStringList outside;
        for (const auto& entry : graph_)
            if (!Layers.contains(LayerOf(entry.first)))
                outside << entry.first;
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join(QLatin1Char('\n'))));
    }

    void noLayerIncludesAHigherOne() {
        const QStringList upward = UpwardIncludes(graph_);
        QVERIFY2(upward.isEmpty(), qPrintable(upward.join(QLatin1Char('\n'))));
    }

    void noFileReachesItself() {
        const QString cycle = Cycle(graph_);
        QVERIFY2(cycle.isEmpty(), qPrintable(cycle));
    }

    void coreUsesNoWidgets() {
        static const QRegularExpression widgets(QStringLiteral(
            R"(^(QtWidgets|QWidget|QDialog|QApplication|QMainWindow|QMessageBox|QFileDialog|)"
            R"(QLabel|QPushButton|QComboBox|QMenu|QLayout|Q[A-Z]\w*Layout)\b)"));
        QStringList found;
        for (const auto& [file, includes] : systemIncludes_)
            if (Core.contains(LayerOf(file)))
                for (const QString& header : includes)
                    if (widgets.match(header).hasMatch())
                        found << file + QStringLiteral(": ") + header;
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"
