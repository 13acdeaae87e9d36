#pragma once

#include <QString>

namespace kelvaro::testing {

// Whether a text has any kana or kanji: a line the program meant to print in English does not.
inline bool HasJapanese(const QString& text) {
    for (const QChar c : text)
        if (c.script() == QChar::Script_Hiragana || c.script() == QChar::Script_Katakana ||
            c.script() == QChar::Script_Han)
            return true;
    return false;
}

} // namespace kelvaro::testing
