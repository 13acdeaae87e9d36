#pragma once

#include "depth/EdgeSnap.h"
#include "depth/GreyDepth.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include <QCoreApplication>
#include <QStringList>

#include <optional>
#include <span>

namespace kelvaro {

// The context of the renderer's texts in the translation: Japanese in the code, English by
// default (see main.cpp).
class RenderCommand {
    Q_DECLARE_TR_FUNCTIONS(RenderCommand)
};

// What kelvaro-render's command line asks for.
struct RenderOptions {
    QStringList pictures;
    QString depth;
    QString depthGrey;
    GreyDepthOptions grey;
    QString depthDir;
    bool refineDepth = false;
    int refineRadius = kDefaultSnapRadius;
    QString saveDepth; // none: the depth map is not written
    QString output;
    QString outDir;
    QString framesDir;
    std::optional<AnimationFormat> format; // of the outputs named after their pictures
    SwayDirection direction = SwayDirection::Horizontal;
    SwayOptions sway; // frames, angle, pivot, delay and hole fill
    int sizeChoice = 0;
    int maxSide = PictureSizeLimit;
    WebpOptions webp;
    Mp4Options mp4;
    bool qualityGiven = false;
    bool losslessGiven = false;
    bool loopsGiven = false;
    long long maxBytes = 0; // 0: no limit
    bool noClobber = false;
    int jobs = 1;
    bool verbose = false;
};

// The value of one option as the parser found it, checked against its description.
struct OptionValue {
    QString text;       // as given
    int number = 0;     // of an Integer option: the number; of a Choice option: the choice's index
    double decimal = 0; // of a Decimal option
};

// One option of kelvaro-render: everything the parser, the checks, the usage errors and --help
// know about it. An option is one row of RenderOptionTable().
struct OptionDescription {
    enum class Kind {
        Switch,  // no value
        Text,    // any value but an empty one
        Integer, // a whole number in least..most
        Decimal, // a number, fractions allowed, in leastDecimal..mostDecimal
        Choice,  // one of choices, exactly
    };
    QStringList names = {};      // short before long: {"j", "jobs"}
    QString (*help)() = nullptr; // the line(s) of --help, translated
    Kind kind = Kind::Switch;
    QString valueName = {};   // shown in --help: "N", "DIR"
    int least = 0;            // Integer
    int most = 0;             // Integer
    double leastDecimal = 0;  // Decimal
    double mostDecimal = 0;   // Decimal
    QStringList choices = {}; // Choice
    // Where a value is wrong; the usual wording ("%1 must be a whole number from %2 to %3, not %4",
    // "%1 must be a number from %2 to %3, not %4", "%1 must be %2 or %3, not %4") when null.
    // Arguments: the option as spoken, the range or the choices, the value.
    QString (*wrongValue)(const QString& spoken, const OptionDescription& row,
                          const QString& value) = nullptr;
    QString spoken = {}; // the name wrong values are reported with; "--" + the long name when empty
    QString needs = {};  // the long name of an option this one is only meaningful with
    QStringList excludes = {};         // long names of options that cannot be given with this one
    QString (*excluded)() = nullptr;   // the usage error when one of them is
    QString (*onePicture)() = nullptr; // the usage error when given with several pictures
    // Stores the checked value (a Switch: its presence) into the options; null for options the
    // parser acts on itself (--help, --version, --lang).
    void (*store)(RenderOptions& options, const OptionValue& value) = nullptr;
    // A rule of the option's own instead of the kind's, the value's problem or an empty string; an
    // option with one is checked at each of its values and may be given more than once (the last
    // counts), empty values included (the language, whose names are its own business).
    QString (*problem)(const QString& value) = nullptr;

    QString longName() const { return names.constLast(); }
    bool takesValue() const { return kind != Kind::Switch; }
};

// kelvaro-render's options in the order --help lists them.
std::span<const OptionDescription> RenderOptionTable();

struct ParseResult {
    std::optional<RenderOptions> options; // none: help or version asked for, or a usage error
    QString shown;                        // the help or version text
    QString error;                        // the usage error
};

// Reads kelvaro-render's arguments (those after the program name) by RenderOptionTable().
ParseResult ParseRenderArguments(const QStringList& arguments);

} // namespace kelvaro
