#include "editor/dialogs/GifDialogs.h"

#include "encode/SizeLimit.h"
#include "gif/GifPipeline.h"
#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace kelvaro {

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

SizeLimitDialog::SizeLimitDialog(const QString& initial, QWidget* parent)
    : QDialog(parent,
              // Like the option dialogs: a caption but no system menu.
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(tr("ファイルサイズの上限"));
    setFont(DialogFont());
    setModal(true);
    const QSize templateSize = DialogUnitsToPixels(QRect(0, 0, 160, 63)).size();

    auto* label = new QLabel(tr("上限:"), this);
    label->setGeometry(DialogUnitsToPixels(QRect(7, 9, 28, 8)));
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

    field_ = new QLineEdit(initial, this);
    field_->setObjectName(QStringLiteral("control%1").arg(FieldId));
    field_->setPlaceholderText(tr("上限なし"));
    const QRect fieldRect = DialogUnitsToPixels(QRect(38, 7, 115, 14));
    const int fieldLeft =
        std::max(fieldRect.left(), label->geometry().right() + 1 + DialogUnitsToPixelsX(3));
    field_->setGeometry(fieldLeft, fieldRect.top(), fieldRect.right() + 1 - fieldLeft,
                        fieldRect.height());
    label->setBuddy(field_);

    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("hint"));
    hint_->setGeometry(DialogUnitsToPixels(QRect(7, 26, 146, 8)));

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("control1"));
    ok_->setGeometry(DialogUnitsToPixels(QRect(7, 42, 50, 14)));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* cancel = new QPushButton(OptionDialog::tr("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("control2"));
    cancel->setGeometry(DialogUnitsToPixels(QRect(62, 42, 50, 14)));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(field_, &QLineEdit::textChanged, this, &SizeLimitDialog::TextChanged);
    TextChanged(initial);

    // Wide enough for the longest line the hint shows and for the caption.
    const int margin = DialogUnitsToPixelsX(7);
    int hintWidth = hint_->width();
    for (const QString& line :
         {tr("例: 8M、500k、120000 (バイト数)"),
          tr("読めません: 8M、500k、またはバイト数で入力します"),
          tr("%1 まで (%2 バイト)")
              .arg(QStringLiteral("999.9 MB"), QStringLiteral("999999999999"))})
        hintWidth = std::max(hintWidth, hint_->fontMetrics().horizontalAdvance(line));
    hint_->resize(hintWidth, hint_->height());
    setFixedSize(std::max({templateSize.width(), hint_->geometry().right() + 1 + margin,
                           OptionDialog::CaptionWidth(windowTitle(), font())}),
                 templateSize.height());
    field_->resize(width() - margin - field_->x(), field_->height());
    field_->selectAll();
    field_->setFocus();
}

void SizeLimitDialog::TextChanged(const QString& text) {
    const std::optional<long long> limit = ParseSizeLimit(text);
    ok_->setEnabled(limit.has_value());
    if (!limit)
        hint_->setText(tr("読めません: 8M、500k、またはバイト数で入力します"));
    else if (*limit == 0)
        hint_->setText(tr("例: 8M、500k、120000 (バイト数)"));
    else
        hint_->setText(tr("%1 まで (%2 バイト)").arg(ByteCountText(*limit)).arg(*limit));
}

std::optional<QString> SizeLimitDialog::Ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return field_->text().trimmed();
}

} // namespace kelvaro
