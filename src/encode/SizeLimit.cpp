#include "encode/SizeLimit.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace kelvaro {

// The context of this file's texts in the translations.
class SizeLimitTexts {
    Q_DECLARE_TR_FUNCTIONS(SizeLimitTexts)
};

std::optional<long long> ParseByteCount(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^([0-9]+(?:\\.[0-9]+)?)\\s*([kKmMgG]?)[bB]?$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const double number = match.captured(1).toDouble();
    const QString unit = match.captured(2).toLower();
    const double scale = unit == QLatin1String("k")   ? 1e3
                         : unit == QLatin1String("m") ? 1e6
                         : unit == QLatin1String("g") ? 1e9
                                                      : 1;
    const double bytes = std::floor(number * scale);
    if (bytes < 1 || bytes > 1e12)
        return std::nullopt;
    return static_cast<long long>(bytes);
}

std::optional<long long> ParseSizeLimit(const QString& text) {
    if (text.trimmed().isEmpty())
        return 0;
    return ParseByteCount(text);
}

QString ByteCountText(long long bytes) {
    const auto shown = [](double value, const char* unit) {
        return QString::number(value, 'g',
                               value < 10     ? 2
                               : value < 1000 ? 3
                                              : 4) +
               QLatin1Char(' ') + QLatin1String(unit);
    };
    if (bytes >= 1000000)
        return shown(double(bytes) / 1e6, "MB");
    if (bytes >= 1000)
        return shown(double(bytes) / 1e3, "kB");
    return QString::number(bytes) + QStringLiteral(" B");
}

std::vector<QSize> SizeLimitScales(QSize out) {
    return {out, QSize(std::max(1, out.width() / 2), std::max(1, out.height() / 2)),
            QSize(std::max(1, out.width() / 4), std::max(1, out.height() / 4))};
}

Result SearchSteps(int last, int tolerance, int first, long long limit, long long sizeAtZero,
                   const std::function<Result(int, QByteArray&)>& encode, StepFit& fit) {
    fit = {};
    fit.smallest = sizeAtZero;
    // What is known: `bad` does not fit (size badSize); `good`, once found, fits.
    int bad = 0, good = -1;
    double badSize = double(sizeAtZero), goodSize = 0;
    QByteArray goodBytes;
    int step = std::clamp(first, 1, last);
    for (;;) {
        QByteArray bytes;
        if (Result made = encode(step, bytes); !made)
            return made;
        const double size = double(bytes.size());
        fit.smallest = std::min(fit.smallest, static_cast<long long>(bytes.size()));
        if (bytes.size() <= limit) {
            good = step, goodSize = size, goodBytes = std::move(bytes);
        } else {
            bad = step, badSize = size;
        }
        if (good < 0 && bad == last)
            return {}; // not even the last step fits
        // Close enough: the steps are that far apart, or the size is within 5 % of the limit.
        if (good >= 0 && (good - bad <= tolerance || goodSize >= 0.95 * double(limit)))
            break;
        // Between what fits and what does not, where the logarithm of the size would meet the
        // limit (a little under it); beyond the last step tried when nothing fits yet.
        const int upper = good >= 0 ? good : last;
        const double upperSize = good >= 0 ? goodSize : 0;
        int next = upper;
        if (upperSize > 0 && badSize > upperSize) {
            const double t = (std::log(badSize) - std::log(double(limit) * 0.97)) /
                             (std::log(badSize) - std::log(upperSize));
            next = bad + int(std::lround(t * (upper - bad)));
        } else if (good < 0) {
            next = std::min(last, bad + std::max(1, (last - bad) / 2));
        }
        step = std::clamp(next, bad + 1, good >= 0 ? good - 1 : last);
    }
    fit.step = good;
    fit.bytes = std::move(goodBytes);
    return {};
}

QString SizeLimitChoice(long long limit, const QString& settings, long long bytes) {
    return SizeLimitTexts::tr("%1 に収めるため、%2 にしました (%3)")
        .arg(ByteCountText(limit), settings, ByteCountText(bytes));
}

QString SizeLimitFailure(long long limit, long long smallest) {
    return SizeLimitTexts::tr("1/4 の大きさでも %1 に収まりません (最小 %2)")
        .arg(ByteCountText(limit), ByteCountText(smallest));
}

} // namespace kelvaro
