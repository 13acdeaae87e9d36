#include "ui/OptionDialog.h"

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

} // namespace kelvaro
