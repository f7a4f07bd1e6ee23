// Build-time helper: rasterises one SVG into a square PNG so the desktop
// icon theme gets fixed sizes without the build needing an external converter.
//   render_icon INPUT.svg OUTPUT.png SIZE

#include <QtCore/QByteArray>
#include <QtCore/QRectF>
#include <QtCore/QString>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>

#include <cstdio>

namespace {

int fail(const QString& message) {
  std::fprintf(stderr, "render_icon: %s\n", message.toLocal8Bit().constData());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: render_icon INPUT.svg OUTPUT.png SIZE\n");
    return 2;
  }

  // Builds run on machines without a display server; the offscreen platform
  // needs none, and it has to be chosen before the application object exists.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  const QString input = QString::fromLocal8Bit(argv[1]);
  const QString output = QString::fromLocal8Bit(argv[2]);
  bool ok = false;
  const int size = QString::fromLocal8Bit(argv[3]).toInt(&ok);
  // Anything past 4096 is a typo, not an icon size, and would only eat memory.
  if (!ok || size < 1 || size > 4096) {
    return fail(QStringLiteral("invalid size '%1' for %2").arg(QString::fromLocal8Bit(argv[3]), output));
  }

  QSvgRenderer renderer;
  if (!renderer.load(input) || !renderer.isValid()) {
    return fail(QStringLiteral("cannot load SVG %1").arg(input));
  }
  // A drawing that is not quite square must not come out stretched.
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);

  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) {
    return fail(QStringLiteral("cannot allocate a %1x%1 image for %2").arg(size).arg(output));
  }
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
  }  // the painter must let go of the image before it is saved

  if (!image.save(output, "PNG")) {
    return fail(QStringLiteral("cannot write PNG %1").arg(output));
  }
  return 0;
}
