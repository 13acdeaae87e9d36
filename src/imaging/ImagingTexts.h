#pragma once

#include <QCoreApplication>

namespace kelvaro {

// The context in the translations of the texts of the imaging operations and the GIF encoder.
class Imaging {
    Q_DECLARE_TR_FUNCTIONS(Imaging)
};

} // namespace kelvaro
