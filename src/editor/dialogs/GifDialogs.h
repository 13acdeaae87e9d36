#pragma once

#include "ui/OptionDialog.h"

#include <QDialog>
#include <QSize>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// The questions of the GIF command.
namespace kelvaro {

// Asks the sway direction: 0 "横揺れ", 1 "縦揺れ", opening on `initial` (the editor's preview
// offers the direction it shows).
class CSwayDirectionDlg : public OptionDialog {
    Q_OBJECT
public:
    static constexpr int ComboId = 1021;
    explicit CSwayDirectionDlg(int initial = 0, QWidget* parent = nullptr);
};

// Asks the output size: 0 "原寸", 1 "2/3", 2 "1/2", 3 "1/3", 4 "1/4". Given the picture's size,
// each item also shows the size it gives ("1/2 (320 × 240)").
class COutputSizeDlg : public OptionDialog {
    Q_OBJECT
public:
    static constexpr int ComboId = 1018;
    explicit COutputSizeDlg(QWidget* parent = nullptr);
    explicit COutputSizeDlg(QSize picture, QWidget* parent = nullptr);
    // The items for a picture of this size; the bare fractions for an empty size.
    static QStringList Items(QSize picture);
};

// Asks the most bytes the file may take: a text field for "8M", "500k" or a count of bytes,
// empty for no limit, opening on `initial`. The line below it says what the text means or that
// it cannot be read, and OK stays disabled until it can.
class SizeLimitDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int FieldId = 1023;
    explicit SizeLimitDialog(const QString& initial = {}, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QLabel* hint() const { return hint_; }
    QPushButton* okButton() const { return ok_; }

    // Shows the dialog modally; the text (trimmed, empty for no limit), or nullopt unless it
    // ended with OK.
    std::optional<QString> Ask();

private:
    void TextChanged(const QString& text);

    QLineEdit* field_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace kelvaro
