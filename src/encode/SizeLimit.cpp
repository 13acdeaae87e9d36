#include "encode/SizeLimit.h"

#include "imaging/Parallel.h"

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
                   const std::function<Result(int, QByteArray&)>& encode, StepFit& fit,
                   bool pairs) {
    fit = {};
    fit.smallest = sizeAtZero;
    // What is known: `bad` does not fit (size badSize); `good`, once found, fits.
    int bad = 0, good = -1;
    double badSize = double(sizeAtZero), goodSize = 0;
    // The step that did not fit before `bad`, for the slope of the sizes.
    int previousBad = 0;
    double previousBadSize = badSize;
    QByteArray goodBytes;
    int step = std::clamp(first, 1, last);
    for (bool firstRound = true;; firstRound = false) {
        // This round's steps, in increasing order.
        std::vector<int> steps = {step};
        // The first guess goes alone: when it is good, a second encoding would only have
        // taken a core from whatever else runs.
        if (pairs && !firstRound && tolerance > 0 &&
            step + tolerance <= (good >= 0 ? good - 1 : last))
            steps.push_back(step + tolerance);
        std::vector<QByteArray> made(steps.size());
        std::vector<Result> results(steps.size());
        // The step beyond is tried only where the pool has a thread free for it.
        bool pairTried = false;
        RunWithHelpers(
            int(steps.size()) - 1,
            [&] {
                results[1] = encode(steps[1], made[1]);
                pairTried = true;
            },
            [&] { results[0] = encode(steps[0], made[0]); });
        if (!pairTried)
            steps.resize(1);
        for (size_t i = 0; i < steps.size(); ++i) {
            if (!results[i])
                return results[i];
            const double size = double(made[i].size());
            fit.smallest = std::min(fit.smallest, static_cast<long long>(made[i].size()));
            if (made[i].size() <= limit) {
                if (good < 0 || steps[i] < good)
                    good = steps[i], goodSize = size, goodBytes = std::move(made[i]);
            } else if (steps[i] > bad) {
                previousBad = bad, previousBadSize = badSize;
                bad = steps[i], badSize = size;
            }
        }
        if (good < 0 && bad == last)
            return {}; // not even the last step fits
        // Close enough: the steps are that far apart, or the size is within 5 % of the limit.
        if (good >= 0 && (good - bad <= tolerance || goodSize >= 0.95 * double(limit)))
            break;
        // Between what fits and what does not, where the logarithm of the size would meet the
        // limit (a little under it); beyond the last step tried when nothing fits yet: in pairs,
        // as far as the slope of the last two sizes that did not fit reaches.
        const int upper = good >= 0 ? good : last;
        const double upperSize = good >= 0 ? goodSize : 0;
        int next = upper;
        if (upperSize > 0 && badSize > upperSize) {
            const double t = (std::log(badSize) - std::log(double(limit) * 0.97)) /
                             (std::log(badSize) - std::log(upperSize));
            next = bad + int(std::lround(t * (upper - bad)));
        } else if (good < 0 && pairs && bad > previousBad && previousBadSize > badSize) {
            const double perStep =
                (std::log(previousBadSize) - std::log(badSize)) / (bad - previousBad);
            const double steps = (std::log(badSize) - std::log(double(limit) * 0.97)) / perStep;
            next = bad + int(std::lround(std::clamp(steps, 1.0, double(last))));
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
