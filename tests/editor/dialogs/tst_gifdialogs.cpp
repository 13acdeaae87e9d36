#include "editor/dialogs/GifDialogs.h"

#include <QComboBox>
#include <QLabel>
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
};

QTEST_MAIN(TestGifDialogs)
#include "tst_gifdialogs.moc"
