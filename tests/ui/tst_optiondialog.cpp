#include "ui/OptionDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>

using namespace kelvaro;

class TestOptionDialog : public QObject {
    Q_OBJECT
private slots:
    // A caption or label longer than the template widens the dialog instead of being cut.
    void longTextsWidenTheDialog() {
        OptionDialog::Template t{QStringLiteral("A caption far longer than the template allows"),
                                 {119, 57},
                                 QStringLiteral("A long label text:"),
                                 {7, 9, 36, 8},
                                 7,
                                 {44, 7},
                                 68,
                                 36,
                                 {QStringLiteral("one"), QStringLiteral("two")}};
        OptionDialog dlg(t);
        const auto* label = dlg.findChild<QLabel*>();
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(dlg.combo()->x() > label->geometry().right());
        QVERIFY(dlg.rect().contains(dlg.combo()->geometry()));
        QVERIFY(dlg.width() >= OptionDialog::CaptionWidth(t.caption, dlg.font()));
        QVERIFY(dlg.width() > 208);
    }
};

QTEST_MAIN(TestOptionDialog)
#include "tst_optiondialog.moc"
