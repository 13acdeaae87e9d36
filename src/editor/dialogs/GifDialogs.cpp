#include "editor/dialogs/GifDialogs.h"

#include "gif/GifPipeline.h"

#include <QComboBox>

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

} // namespace kelvaro
