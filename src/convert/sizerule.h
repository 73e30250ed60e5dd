#pragma once

#include <QSize>
#include <QString>
#include <QStringView>
#include <optional>

namespace convert {

// The output sizes a conversion can ask for.
enum class SizeChoice {
    OneToOne, // keep the picture's own size
    Custom,   // the two custom texts
    Size640x480,
    Size800x600,
    Size1024x768,
};
inline constexpr int kSizeChoiceCount = 5;

// What a size choice and the custom texts ask for one file: nothing (own size), an
// exact width x height in pixels, or a refusal with its reason.
struct SizeDecision {
    std::optional<QSize> size;
    QString error; // why the custom texts cannot be used, a phrase without a full stop

    bool ok() const { return error.isEmpty(); }
};

// Reads the custom texts for every file anew: each is read with the number
// reader, raised to at least 5 and rounded to the nearest whole number, a half
// going to the even neighbour. A side beyond the range of a 32-bit integer
// (typed as 1e12, say) is refused here with a reason naming the text; sizes
// within that range but beyond the imaging limits are refused by the resize.
SizeDecision decideSize(SizeChoice choice, QStringView widthText, QStringView heightText);

// How a size asked for meets a picture of other proportions.
enum class SizeFit {
    Exact,           // stretched to exactly that size, as the page's buttons ask
    Inside,          // kept in proportion within it as a box; never made larger
    InsideEnlarging, // kept in proportion within it, smaller pictures made larger too
};

// The size a picture seen as `seen` (pixels, upright) is written at for a
// size `asked` under `fit`: for Exact `asked` itself; inside the box, the
// side whose ratio to the box is the larger meets it and the other is
// rounded to the nearest pixel (a half up), at least 1. Under Inside a
// picture already within the box keeps `seen`. An empty `seen` gives `asked`.
QSize fittedSize(QSize seen, QSize asked, SizeFit fit);

} // namespace convert
