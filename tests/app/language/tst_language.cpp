// The languages of the programs: Qt's own texts in Japanese by default, whatever the locale, and
// everything in English on request.

#include "app/language/Language.h"
#include "app/shell/ProgressDlg.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "editor/dialogs/DepthDialogs.h"
#include "editor/dialogs/GifDialogs.h"
#include "editor/preview/PreviewWindow.h"
#include "files/dialogs/CFileDialogTitle.h"

#include "JapaneseText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QtTest>

using namespace kelvaro;

using kelvaro::testing::HasJapanese;

namespace {

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

// Texts of a window's labels, buttons and check boxes that its fixed layout cuts off.
QStringList CutOff(const QWidget& window) {
    QStringList cut;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        const QFontMetrics metrics = label->fontMetrics();
        for (const QString& line : label->text().split(QLatin1Char('\n')))
            if (label->isVisible() &&
                metrics.horizontalAdvance(line) > label->contentsRect().width())
                cut << line;
    }
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || button->text().isEmpty())
            continue;
        // A check box's text follows its indicator and a spacing; a button's has a small margin.
        const QStyle* style = button->style();
        const int before =
            qobject_cast<const QCheckBox*>(button)
                ? style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) +
                      style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button)
                : 4;
        const int need = before + button->fontMetrics().horizontalAdvance(button->text());
        if (need > button->width())
            cut << QStringLiteral("%1 (%2 px wide, %3 px room)")
                       .arg(button->text())
                       .arg(need)
                       .arg(button->width());
    }
    // An option dialog's list shows its longest item whole, and its caption fits its frame.
    if (qobject_cast<const OptionDialog*>(&window))
        for (const QComboBox* combo : window.findChildren<QComboBox*>())
            if (combo->width() < combo->sizeHint().width())
                cut << QStringLiteral("%1 (list %2 px, needs %3)")
                           .arg(combo->itemText(0))
                           .arg(combo->width())
                           .arg(combo->sizeHint().width());
    if (qobject_cast<const OptionDialog*>(&window) &&
        OptionDialog::CaptionWidth(window.windowTitle(), window.font()) > window.width())
        cut << QStringLiteral("caption %1").arg(window.windowTitle());
    return cut;
}

// The menu's item texts, submenus included.
QStringList MenuTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        if (!action->text().isEmpty())
            texts << action->text();
        if (action->menu())
            texts << MenuTexts(*action->menu());
    }
    return texts;
}

// The editor and its dialogs as a user sees them, shown with the current translations.
struct Windows {
    QtPrompts prompts;
    CDepthPaintDlg editor{prompts};
    CProgressDlg progress{&editor};
    CSwayDirectionDlg sway;
    COutputSizeDlg size;
    COutputSizeDlg sizeOfPicture{QSize(640, 480)};
    GreyDepthDialog grey;
    SizeLimitDialog limit;
    SizeLimitDialog badLimit{QStringLiteral("8X")};
    PreviewWindow preview{editor.document()};
    Windows() {
        for (QWidget* window : All())
            window->show();
        progress.ProgressCommand(0);
    }
    QList<QWidget*> All() {
        return {&editor, &progress, &sway,     &size,   &sizeOfPicture,
                &grey,   &limit,    &badLimit, &preview};
    }
};

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

    void englishEditor() {
        const Translations english(Language::English);
        Windows windows;
        for (QWidget* window : windows.All()) {
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QVERIFY2(!HasJapanese(window->windowTitle()), qPrintable(window->windowTitle()));
            const QStringList texts = VisibleTexts(*window);
            QVERIFY(!texts.isEmpty());
            for (const QString& text : texts)
                QVERIFY2(!HasJapanese(text), qPrintable(text));
        }
        const QStringList menu = MenuTexts(*windows.editor.BuildPopupMenu());
        QVERIFY(menu.contains(QStringLiteral("Open picture...")));
        QVERIFY(menu.contains(QStringLiteral("Generate GIF")));
        for (const QString& text : menu)
            QVERIFY2(!HasJapanese(text), qPrintable(text));
    }

    // The windows keep their fixed sizes in both languages; no text may be cut off.
    void textsFitTheLayout_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("ja") << int(Language::Japanese);
        QTest::newRow("en") << int(Language::English);
    }
    void textsFitTheLayout() {
        QFETCH(int, language);
        const Translations texts{Language(language)};
        Windows windows;
        for (QWidget* window : windows.All()) {
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QStringList cut = CutOff(*window);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
        }
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
