// The languages of the programs: Qt's own texts in Japanese by default, whatever the locale, and
// everything in English on request.

#include "app/language/Language.h"
#include "editor/QtPrompts.h"
#include "files/dialogs/CFileDialogTitle.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace kelvaro;

namespace {

bool HasJapanese(const QString& text) {
    for (const QChar c : text)
        if (c.script() == QChar::Script_Hiragana || c.script() == QChar::Script_Katakana ||
            c.script() == QChar::Script_Han)
            return true;
    return false;
}

// The texts a user reads on a window: its visible labels and buttons.
QStringList VisibleTexts(const QWidget& window) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty())
            texts << label->text();
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isVisible() && !button->text().isEmpty())
            texts << button->text();
    return texts;
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A system locale that is neither language must not change the program's.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void japaneseFileDialog() {
        const Translations japanese(Language::Japanese);
        QVERIFY2(japanese.complete(), "qtbase_ja.qm not found");
        QCOMPARE(QLocale().language(), QLocale::Japanese);
        for (FileDialogUse use : {FileDialogUse::OpenPicture, FileDialogUse::GenerateGif}) {
            CFileDialogTitle dialog(use);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QStringList texts = VisibleTexts(dialog);
            QVERIFY(texts.size() >= 5); // folder, name and type labels, accept and cancel
            for (const QString& text : texts)
                QVERIFY2(HasJapanese(text), qPrintable(text));
            const auto* buttons = dialog.findChild<QDialogButtonBox*>();
            QVERIFY(buttons);
            QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(),
                     QStringLiteral("キャンセル"));
        }
    }

    void japaneseYesNoQuestion() {
        const Translations japanese(Language::Japanese);
        QWidget window;
        QtPrompts prompts(&window);
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!prompts.AskYesNo(QStringLiteral("Kelvaro"), QStringLiteral("クリアしますか?")));
        buttons.sort();
        QCOMPARE(buttons, QStringList({QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
    }

    // The language ends with its Translations: Qt's texts are English again afterwards.
    void translationsComeOff() {
        {
            const Translations japanese(Language::Japanese);
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                     QStringLiteral("キャンセル"));
        }
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QCOMPARE(QLocale().language(), QLocale::German);
    }

    void englishTranslationIsBuiltIn() {
        const Translations english(Language::English);
        QVERIFY(english.complete());
        QCOMPARE(QLocale().language(), QLocale::English);
        QCOMPARE(QCoreApplication::translate("CommandLine", "画像"), QStringLiteral("picture"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }
};

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
