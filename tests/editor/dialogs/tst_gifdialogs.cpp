#include "editor/dialogs/GifDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kelvaro;

namespace {

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

class TestGifDialogs : public QObject {
    Q_OBJECT
private slots:
    void swayDirectionDialog() {
        CSwayDirectionDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("揺れ方向の設定"));
        QVERIFY(dlg.findChild<QLabel*>()->text() == QStringLiteral("揺れの方向:"));
        auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("control1021"));
        QVERIFY(combo);
        QCOMPARE(Items(combo), QStringList({QStringLiteral("横揺れ"), QStringLiteral("縦揺れ")}));
        QCOMPARE(dlg.selectedIndex(), 0);
        QVERIFY(!(dlg.windowFlags() & Qt::WindowSystemMenuHint));
        QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    }

    // Opens on the direction it is given (the editor's preview offers the one it shows).
    void swayDirectionDialogOpensOnTheGivenDirection() {
        QCOMPARE(CSwayDirectionDlg(1).selectedIndex(), 1);
        QCOMPARE(CSwayDirectionDlg(0).selectedIndex(), 0);
    }

    void outputSizeDialog() {
        COutputSizeDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("出力サイズの設定"));
        auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("control1018"));
        QVERIFY(combo);
        QCOMPARE(Items(combo),
                 QStringList({QStringLiteral("原寸"), QStringLiteral("2/3"), QStringLiteral("1/2"),
                              QStringLiteral("1/3"), QStringLiteral("1/4")}));
        auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("control1"));
        auto* cancel = dlg.findChild<QPushButton*>(QStringLiteral("control2"));
        QVERIFY(ok->isDefault());
        QCOMPARE(cancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        // Buttons lie inside the dialog, side by side.
        QVERIFY(dlg.rect().contains(cancel->geometry()));
        QVERIFY(ok->geometry().right() < cancel->geometry().left());
    }

    // Given the picture's size, every item shows the size it gives; items and order stay, and
    // the list and the dialog widen to show them whole.
    void outputSizesInPixels() {
        COutputSizeDlg dlg(QSize(600, 400));
        auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("control1018"));
        QVERIFY(combo);
        QCOMPARE(Items(combo),
                 QStringList({QStringLiteral("原寸 (600 × 400)"), QStringLiteral("2/3 (400 × 266)"),
                              QStringLiteral("1/2 (300 × 200)"), QStringLiteral("1/3 (200 × 133)"),
                              QStringLiteral("1/4 (150 × 100)")}));
        QCOMPARE(dlg.selectedIndex(), 0);
        QVERIFY(combo->width() >= combo->sizeHint().width());
        QVERIFY(dlg.rect().contains(combo->geometry()));
        QVERIFY(combo->geometry().left() > dlg.findChild<QLabel*>()->geometry().right());
        // The bare fractions without a picture; the dialog then keeps its template's width.
        QCOMPARE(Items(COutputSizeDlg().combo()).mid(1, 1), QStringList(QStringLiteral("2/3")));
        QCOMPARE(COutputSizeDlg().width(), 208);
    }

    void enterAcceptsTheChoiceAndEscapeCancels() {
        COutputSizeDlg dlg;
        dlg.combo()->setCurrentIndex(3);
        QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Return); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.selectedIndex(), 3);

        CSwayDirectionDlg again; // a new run starts from the first item
        QCOMPARE(again.selectedIndex(), 0);
        QTimer::singleShot(0, &again, [&] { QTest::keyClick(&again, Qt::Key_Escape); });
        QCOMPARE(again.exec(), int(QDialog::Rejected));
    }

    // The size limit: empty (no limit) by default, opening on the text it is given; a text it
    // cannot read says so and disables OK; a count it reads is shown in bytes; Enter answers
    // the trimmed text, Escape cancels.
    void sizeLimitDialog() {
        SizeLimitDialog dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("ファイルサイズの上限"));
        QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
        QLineEdit* field = dlg.findChild<QLineEdit*>(QStringLiteral("control1023"));
        QVERIFY(field);
        QCOMPARE(field->text(), QString());
        QVERIFY(dlg.okButton()->isEnabled());
        QCOMPARE(dlg.hint()->text(), QStringLiteral("例: 8M、500k、120000 (バイト数)"));
        const struct {
            const char* typed;
            bool readable;
            const char* hint;
        } cases[] = {
            {"8X", false, "読めません: 8M、500k、またはバイト数で入力します"},
            {"8M", true, "8 MB まで (8000000 バイト)"},
            {"0", false, "読めません: 8M、500k、またはバイト数で入力します"},
            {"500k", true, "500 kB まで (500000 バイト)"},
            {"  ", true, "例: 8M、500k、120000 (バイト数)"},
        };
        for (const auto& c : cases) {
            field->clear();
            QTest::keyClicks(field, QString::fromUtf8(c.typed));
            QCOMPARE(dlg.okButton()->isEnabled(), c.readable);
            QCOMPARE(dlg.hint()->text(), QString::fromUtf8(c.hint));
            QVERIFY(dlg.rect().contains(dlg.hint()->geometry()));
        }

        SizeLimitDialog again(QStringLiteral("1.5M"));
        QCOMPARE(again.field()->text(), QStringLiteral("1.5M"));
        QCOMPARE(again.hint()->text(), QStringLiteral("1.5 MB まで (1500000 バイト)"));
        QTimer::singleShot(0, &again, [&] {
            QTest::keyClicks(again.field(), QStringLiteral(" 120000 ")); // replaces the selection
            QTest::keyClick(again.field(), Qt::Key_Return);
        });
        QCOMPARE(again.Ask(), std::optional<QString>(QStringLiteral("120000")));
        SizeLimitDialog cancelled(QStringLiteral("8M"));
        QTimer::singleShot(0, &cancelled, [&] { QTest::keyClick(&cancelled, Qt::Key_Escape); });
        QCOMPARE(cancelled.Ask(), std::nullopt);
        // Enter does nothing while the text cannot be read.
        SizeLimitDialog unreadable(QStringLiteral("8X"));
        QTimer::singleShot(0, &unreadable, [&] {
            QTest::keyClick(unreadable.field(), Qt::Key_Return);
            QVERIFY(unreadable.isVisible());
            unreadable.reject();
        });
        QCOMPARE(unreadable.Ask(), std::nullopt);
    }
};

QTEST_MAIN(TestGifDialogs)
#include "tst_gifdialogs.moc"
