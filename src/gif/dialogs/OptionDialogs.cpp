#include "gif/dialogs/OptionDialogs.h"

#include "gif/GifPipeline.h"
#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

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

    // Widened where a text needs it: the label first, the list moved right of it and as wide as
    // its longest item, then the dialog around both and its caption.
    const int gap = DialogUnitsToPixelsX(t.comboPos.x() - t.labelRect.right() - 1);
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    const int comboLeft = std::max(combo_->x(), label->geometry().right() + 1 + gap);
    combo_->setGeometry(
        comboLeft, combo_->y(),
        std::max(combo_->width() + combo_->x() - comboLeft, combo_->sizeHint().width()),
        combo_->height());
    const int margin = DialogUnitsToPixelsX(7);
    setFixedSize(std::max({width(), combo_->geometry().right() + 1 + margin,
                           CaptionWidth(t.caption, font())}),
                 height());

    combo_->setFocus();
}

int OptionDialog::CaptionWidth(const QString& caption, const QFont& font) {
    QFont face = font;
    face.setBold(true);
    face.setPointSizeF(face.pointSizeF() * 1.25);
    // The frame's icon, buttons and padding: a desktop frame 208 px wide had 118 px left for the
    // caption's text (it cut "Load depth image" to "Load de… image").
    constexpr int frameControls = 88;
    return QFontMetrics(face).horizontalAdvance(caption) + frameControls;
}

int OptionDialog::selectedIndex() const {
    return combo_->currentIndex();
}

std::optional<int> OptionDialog::Ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return selectedIndex();
}

CSwayDirectionDlg::CSwayDirectionDlg(int initial, QWidget* parent)
    : OptionDialog({tr("揺れ方向の設定"),
                    {119, 57},
                    tr("揺れの方向:"),
                    {7, 9, 36, 8},
                    ComboId,
                    {44, 7},
                    68,
                    36,
                    {tr("横揺れ"), tr("縦揺れ")}},
                   parent) {
    combo()->setCurrentIndex(std::clamp(initial, 0, 1));
}

COutputSizeDlg::COutputSizeDlg(QWidget* parent) : COutputSizeDlg(QSize(), parent) {}

QStringList COutputSizeDlg::Items(QSize picture) {
    QStringList items = {tr("原寸"), QStringLiteral("2/3"), QStringLiteral("1/2"),
                         QStringLiteral("1/3"), QStringLiteral("1/4")};
    if (picture.isEmpty())
        return items;
    for (int choice = 0; choice < int(items.size()); ++choice) {
        const QSize out = OutputSizeFor(choice, picture.width(), picture.height());
        items[choice] += QStringLiteral(" (%1 × %2)").arg(out.width()).arg(out.height());
    }
    return items;
}

COutputSizeDlg::COutputSizeDlg(QSize picture, QWidget* parent)
    : OptionDialog({tr("出力サイズの設定"),
                    {119, 53},
                    tr("出力サイズ:"),
                    {7, 9, 35, 8},
                    ComboId,
                    {44, 7},
                    68,
                    32,
                    Items(picture)},
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
