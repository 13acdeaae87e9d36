// Every text of the programs has its English translation: the texts lupdate finds in the sources
// are all translated in res/translations/kelvaro_en.ts, with the same placeholders, and no
// Japanese text in the code escapes the translation system. A new text fails this test until it
// is marked with tr() (or QT_TRANSLATE_NOOP) and translated (see the README, "English UI").

#include "JapaneseText.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using kelvaro::testing::HasJapanese;

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QList<Message> ReadTs(const QString& path) {
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            message = Message{context, {}, {}, false};
        } else if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            message.finished = type.isEmpty();
            message.translation = xml.readElementText();
            messages << message;
        }
    }
    return messages;
}

// The string literals of a C++ source, comments skipped, adjacent ones joined, with \n and \"
// unescaped.
QStringList StringLiterals(const QString& code) {
    QStringList literals;
    enum { Code, String, Char, LineComment, BlockComment } state = Code;
    QString current;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        const QChar next = i + 1 < code.size() ? code[i + 1] : QChar();
        switch (state) {
        case Code:
            if (c == QLatin1Char('/') && next == QLatin1Char('/'))
                state = LineComment;
            else if (c == QLatin1Char('/') && next == QLatin1Char('*'))
                state = BlockComment;
            else if (c == QLatin1Char('"'))
                state = String, current.clear();
            else if (c == QLatin1Char('\''))
                state = Char;
            break;
        case String:
            if (c == QLatin1Char('\\')) {
                current += next == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : next;
                ++i;
            } else if (c == QLatin1Char('"')) {
                // Adjacent literals ("a" "b") are one text, as the compiler joins them.
                qsizetype j = i + 1;
                while (j < code.size() && code[j].isSpace())
                    ++j;
                if (j < code.size() && code[j] == QLatin1Char('"')) {
                    i = j;
                    break;
                }
                literals << current;
                state = Code;
            } else {
                current += c;
            }
            break;
        case Char:
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('\''))
                state = Code;
            break;
        case LineComment:
            if (c == QLatin1Char('\n'))
                state = Code;
            break;
        case BlockComment:
            if (c == QLatin1Char('*') && next == QLatin1Char('/'))
                state = Code, ++i;
            break;
        }
    }
    return literals;
}

QSet<QString> Placeholders(const QString& text) {
    static const QRegularExpression marker(QStringLiteral("%L?\\d+"));
    QSet<QString> found;
    for (const QRegularExpressionMatch& m : marker.globalMatch(text))
        found.insert(m.captured());
    return found;
}

} // namespace

class TranslationsTest : public QObject {
    Q_OBJECT

    QList<Message> committed_;
    QList<Message> inCode_;

private slots:
    void initTestCase() {
        committed_ = ReadTs(QStringLiteral(KELVARO_TS_FILE));
        QVERIFY(committed_.size() > 50);
        // lupdate gathers what the sources mark for translation now.
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("fresh.ts"));
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(KELVARO_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"),
                       QStringLiteral("-locations"), QStringLiteral("none"),
                       QStringLiteral(KELVARO_SOURCE_DIR), QStringLiteral("-ts"), fresh});
        QVERIFY(lupdate.waitForFinished(120000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());
        inCode_ = ReadTs(fresh);
        QVERIFY(inCode_.size() > 50);
    }

    void everyTextIsTranslated() {
        QStringList missing;
        for (const Message& m : inCode_) {
            const auto it = std::find_if(committed_.begin(), committed_.end(), [&](auto& c) {
                return c.context == m.context && c.source == m.source;
            });
            if (it == committed_.end() || !it->finished || it->translation.isEmpty())
                missing << m.context + QStringLiteral(": ") + m.source;
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("no English translation in kelvaro_en.ts for:\n") +
                            missing.join(QLatin1Char('\n'))));
    }

    void translationsKeepPlaceholdersAndLeaveJapanese() {
        for (const Message& m : committed_) {
            QVERIFY2(Placeholders(m.translation) == Placeholders(m.source), qPrintable(m.source));
            QVERIFY2(!HasJapanese(m.translation), qPrintable(m.translation));
        }
    }

    // A Japanese text in the code that is not marked for translation would stay Japanese in the
    // English interface.
    void noJapaneseTextOutsideTheTranslations() {
        QSet<QString> marked;
        for (const Message& m : inCode_)
            marked.insert(m.source);
        QStringList unmarked;
        QDirIterator files(QStringLiteral(KELVARO_SOURCE_DIR),
                           {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            for (const QString& literal : StringLiterals(QString::fromUtf8(file.readAll())))
                if (HasJapanese(literal) && !marked.contains(literal))
                    unmarked << file.fileName() + QStringLiteral(": ") + literal;
        }
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
