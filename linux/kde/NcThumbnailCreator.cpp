// The thumbnail plugin of KDE's file manager: the same picture of an NC
// program as vantrel-thumbnailer's, drawn in the thumbnail worker's own
// process (a child process per file would cost far more than the drawing)
// and handed over as a QImage. What the command line refuses (binary data,
// nothing to draw, a file of another owner that merely has one of our
// types by its name) gets fail(), so that the file manager shows its icon.
#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <QFile>
#include <QImage>
#include <QUrl>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "DescriptorSource.h"
#include "OptionFiles.h"
#include "RequestFilter.h"
#include "ThumbnailRender.h"

namespace {

// The sizes the command line accepts; the worker scales what it gets.
constexpr int kMinSide = 16;
constexpr int kMaxSide = 2048;

// The flattened Cairo picture as a QImage. Cairo's RGB24 pixels are 32-bit
// words of 0xXXRRGGBB whose top byte is undefined; Qt's RGB32 wants it 0xff.
QImage ToImage(cairo_surface_t* picture) {
  const int width = cairo_image_surface_get_width(picture);
  const int height = cairo_image_surface_get_height(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  const unsigned char* data = cairo_image_surface_get_data(picture);
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull() || data == nullptr) return QImage();
  for (int y = 0; y < height; ++y) {
    const auto* from = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    auto* to = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) to[x] = from[x] | 0xFF000000u;
  }
  return image;
}

}  // namespace

class NcThumbnailCreator final : public KIO::ThumbnailCreator {
  Q_OBJECT

 public:
  NcThumbnailCreator(QObject* parent, const QVariantList& args)
      : KIO::ThumbnailCreator(parent, args) {}

  KIO::ThumbnailResult create(const KIO::ThumbnailRequest& request) override {
    const QUrl url = request.url();
    if (!url.isLocalFile()) return KIO::ThumbnailResult::fail();
    const std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
    const std::string type = request.mimeType().toStdString();
    // A foreign type's file of another name is refused before it is opened.
    if (!IsProgramType(type) && !HasProgramName(path)) return KIO::ThumbnailResult::fail();

    DescriptorSource source;
    std::string error;
    if (!source.Open(path.c_str(), error)) return KIO::ThumbnailResult::fail();
    if (!WorthReading(path, type, source)) return KIO::ThumbnailResult::fail();

    const QSize target = request.targetSize();
    const int side = std::clamp(std::min(target.width(), target.height()), kMinSide, kMaxSide);
    // The user's overlay switches, read for each picture as the command
    // line reads them: a change shows on the next thumbnail made.
    const ThumbnailOptions options = ReadOverlayOptions(side);
    ThumbnailRun run;
    CairoSurface picture;
    if (RenderThumbnail(source, path, options, run, picture, error) != RenderResult::Written) {
      return KIO::ThumbnailResult::fail();
    }
    const QImage image = ToImage(picture.get());
    return image.isNull() ? KIO::ThumbnailResult::fail() : KIO::ThumbnailResult::pass(image);
  }
};

K_PLUGIN_CLASS_WITH_JSON(NcThumbnailCreator, "vantrelthumbnail.json")

#include "NcThumbnailCreator.moc"
