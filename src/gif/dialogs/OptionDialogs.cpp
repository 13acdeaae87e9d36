#include "gif/dialogs/OptionDialogs.h"

#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace kelvaro {

OptionDialog::OptionDialog(const Template& t, QWidget* parent)
    : QDialog(parent,
              // A caption but no system menu: no close box, no minimise or maximise.
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(t.caption);
    setFont(DialogFont());
    setModal(true);
    setFixedSize(DialogUnitsToPixels(QRect(QPoint(), t.size)).size());

    auto* label = new QLabel(t.label, this);
    label->setGeometry(DialogUnitsToPixels(t.labelRect));

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("control%1").arg(t.comboId));
    combo_->addItems(t.items);
    combo_->setCurrentIndex(0);
    combo_->setGeometry(DialogUnitsToPixels(QRect(t.comboPos, QSize(t.comboWidth, 14))));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("control1"));
    ok->setGeometry(DialogUnitsToPixels(QRect(7, t.buttonsY, 50, 14)));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* cancel = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("control2"));
    cancel->setGeometry(DialogUnitsToPixels(QRect(62, t.buttonsY, 50, 14)));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    combo_->setFocus();
}

int OptionDialog::selectedIndex() const {
    return combo_->currentIndex();
}

std::optional<int> OptionDialog::Ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return selectedIndex();
}

CSwayDirectionDlg::CSwayDirectionDlg(QWidget* parent)
    : OptionDialog({tr("揺れ方向の設定"),
                    {119, 57},
                    tr("揺れの方向:"),
                    {7, 9, 36, 8},
                    ComboId,
                    {44, 7},
                    68,
                    36,
                    {tr("横揺れ"), tr("縦揺れ")}},
                   parent) {}

COutputSizeDlg::COutputSizeDlg(QWidget* parent)
    : OptionDialog({tr("出力サイズの設定"),
                    {119, 53},
                    tr("出力サイズ:"),
                    {7, 9, 35, 8},
                    ComboId,
                    {44, 7},
                    68,
                    32,
                    {tr("原寸"), QStringLiteral("2/3"), QStringLiteral("1/2"),
                     QStringLiteral("1/3"), QStringLiteral("1/4")}},
                   parent) {}

GreyDepthDialog::GreyDepthDialog(int initial, QWidget* parent)
    : OptionDialog({tr("深度画像の読み込み"),
                    {119, 57},
                    tr("奥行き:"),
                    {7, 9, 36, 8},
                    ComboId,
                    {44, 7},
                    68,
                    36,
                    {tr("白いほど手前"), tr("黒いほど手前")}},
                   parent) {
    combo()->setCurrentIndex(initial == 1 ? 1 : 0);
}

} // namespace kelvaro
