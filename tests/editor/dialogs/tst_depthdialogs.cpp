#include "editor/dialogs/DepthDialogs.h"

#include <QComboBox>
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

class TestDepthDialogs : public QObject {
    Q_OBJECT
private slots:
    // Opens on the choice it is given, so the editor can offer the last one again.
    void greyDepthDialog() {
        GreyDepthDialog dlg(1);
        QCOMPARE(dlg.selectedIndex(), 1);
        auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("control1022"));
        QVERIFY(combo);
        QCOMPARE(Items(combo),
                 QStringList({QStringLiteral("白いほど手前"), QStringLiteral("黒いほど手前")}));
        QCOMPARE(GreyDepthDialog().selectedIndex(), 0);
        QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Return); });
        QCOMPARE(dlg.Ask(), std::optional<int>(1));
    }
};

QTEST_MAIN(TestDepthDialogs)
#include "tst_depthdialogs.moc"
