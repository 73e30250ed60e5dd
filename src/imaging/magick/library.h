#pragma once

#include "imaging/deadline.h"

#include <QString>
#include <QtGlobal>
#include <exception>

// What we tell the imaging library once per process, and what we ask of it.
namespace imaging::detail {

// A picture larger than this is refused before it is decoded, and no resize
// may make one.
inline constexpr qint64 kMaxSide = 32767;
inline constexpr qint64 kMaxPixels = 200'000'000;

bool sizeAllowed(qint64 width, qint64 height);
// Why a picture of this size is refused, or an empty text when it is not.
QString sizeRefusal(qint64 width, qint64 height);

// Sets the library's limits, removes every decoder outside our types, limits
// its own threads to one (callers run one instance per core) and routes its
// progress reports to the deadline of the calling thread.
void initializeLibrary();

// Whether the library still has a decoder registered under `format`.
bool libraryDecodes(const char *format);

// While one lives, the library's work on this thread (decoding, resizing,
// colour reduction, encoding) stops soon after `deadline` expires: its
// progress reports are answered with "stop". Scopes nest.
class DeadlineScope
{
public:
    explicit DeadlineScope(const Deadline &deadline);
    ~DeadlineScope();
    DeadlineScope(const DeadlineScope &) = delete;
    DeadlineScope &operator=(const DeadlineScope &) = delete;

private:
    const Deadline *m_outer;
};

// The reason an exception from the library (or the allocator) gives, in the
// user's words: "the file ends early", "there is not enough memory for the
// picture". The library's own wording follows in brackets only when no plain
// phrase fits it, cleaned of source file names and temporary paths.
QString plainReason(const QString &libraryText);
QString plainReason(const std::exception &e);

// Whether a warning of the library's decoders says that part of the picture
// is missing or made up, which makes a load fail.
bool warnsOfDamage(const QString &libraryText);

} // namespace imaging::detail
