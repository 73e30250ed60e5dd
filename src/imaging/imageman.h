#pragma once

#include "deadline.h"
#include "result.h"

#include "formats.h"

#include <QImage>
#include <QString>
#include <QSize>
#include <memory>
#include <optional>

namespace imaging {

// One instance of the imaging component: it holds one current image (or none)
// and offers the operations the two pages call. Sizes and selection edges are
// pixels. No exception leaves it: every failure is a Result naming the file
// and the reason. An instance is used by one thread at a time; separate
// instances may work on separate threads.
class ImageMan
{
public:
    ImageMan();
    ~ImageMan();
    ImageMan(const ImageMan &) = delete;
    ImageMan &operator=(const ImageMan &) = delete;

    // Decodes the file and makes it the current image, replacing the previous
    // one and the selection. The type is found from the content, not the name.
    // Only a regular file (or a link to one) is read; a named pipe or device
    // is refused at once.
    // A picture its file states to be stored turned or mirrored (EXIF or TIFF
    // orientation) is turned upright: sizes are then those of the picture as
    // it is seen.
    // On failure the instance holds no image, so nothing older can be saved
    // under a new name.
    Result setImageFile(const QString &path);
    // What setImageFile() would say of the file at `path` judged by its first
    // bytes alone: the same failure for a file that cannot be read, is too
    // large or is not a picture of a type read; success promises nothing of
    // the rest of the file. Decodes nothing.
    static Result checkImageFile(const QString &path);
    // A hint for the next setImageFile() only: the picture will be resized to
    // this size (as it is seen, upright), so a JPEG may be decoded at a
    // reduced scale that is still at least twice as large on each axis. The
    // loaded size then differs from the file's.
    void setSizeHint(int width, int height);
    bool hasImage() const;

    // Makes the current image exactly width x height pixels, stretched when
    // the aspect differs, with a Lanczos-3 kernel.
    Result resizeImage(qint64 width, qint64 height);

    // Writes the current image to `path` in the type its extension names (any
    // letter case). The file takes its name only once complete: a failed
    // save leaves an earlier file of that name untouched and no partial file
    // behind. A symbolic link or anything else but a regular file at that
    // name is left alone and the save fails.
    Result saveImage(const QString &path);

    // Every later load and save of this instance may take at most `limit`
    // and ends early when `cancel` is raised (from any thread); it then fails
    // with the reason and leaves no file behind.
    void setTimeLimit(std::chrono::milliseconds limit);
    void setCancelFlag(CancelFlag cancel);

    // Quality for later saves of this instance in the types that have one
    // (JPEG, WebP, AVIF), 20 to 100, higher is better; values outside are
    // brought into that range, fractions are rounded. Until it is set each
    // type is written at its own default (the format table's), which for
    // JPEG is 75.
    void setJpegQuality(double quality);
    // The quality a JPEG is written at.
    int jpegQuality() const;
    // With `lossless` later WebP and AVIF saves are exact; other types are
    // as they always are.
    void setLossless(bool lossless);
    // The quality a JPEG is written at when `quality` is asked for.
    static int usableJpegQuality(double quality);

    // What later saves of this instance write beside the pixels. By default
    // the colour profile and the author and copyright fields (EXIF Artist and
    // Copyright, XMP dc:creator and dc:rights), each where the type has room
    // for it (the format table says), and nothing else: no place, camera,
    // serial number, dates, maker notes, thumbnail, comment, IPTC or other
    // XMP. With `keep` everything the source held but its EXIF thumbnail.
    // Either way the picture is stored upright (it was turned so when read)
    // and no orientation other than 1 is written.
    void setKeepMetadata(bool keep);

    // The rectangle copySelection() takes, in pixels, edges included.
    void setSelectLeft(double x);
    void setSelectTop(double y);
    void setSelectRight(double x);
    void setSelectBottom(double y);

    // Puts the selected pixels, clipped to the image, into the picture holder
    // that all instances of this process share (not the system clipboard).
    Result copySelection();
    // Makes the held picture the current image.
    Result pasteImage();

    // Size of the current image in pixels; 0 when there is none.
    int imageWidth() const;
    int imageHeight() const;

    // The current image as a QImage (ARGB32 or RGB32); null when there is none.
    QImage image() const;
    // Makes `picture` the current image, named `name` in later messages.
    Result setImage(const QImage &picture, const QString &name = {});

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Empties the picture holder shared by the instances.
void clearHeldPicture();

// Prepares the imaging library once per process: resource limits, decoders
// outside the twelve types removed, the library's own threads limited. Every
// ImageMan calls it; calling it again does nothing.
void initialize();

} // namespace imaging
