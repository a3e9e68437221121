// vantrel-kde-preview: KDE's previews of files as Dolphin asks for them, for
// the desktop test and for timing the plugin.
//
//   vantrel-kde-preview previews OUTDIR FILE...
//     types each file by its name as Dolphin's window does, runs one
//     KIO::PreviewJob (256 pixels, Dolphin's default plugin list) and
//     writes each picture it gets to OUTDIR/<file name>.png. Prints
//     "preview NAME TYPE" or "failed NAME TYPE" per file.
//   vantrel-kde-preview time PLUGIN COUNT FILE...
//     loads the plugin file and times COUNT calls of its create() per file
//     (256 pixels, typed by name). Prints milliseconds per picture.
//
// Runs with QT_QPA_PLATFORM=offscreen; needs no session bus.
#include <KFileItem>
#include <KIO/PreviewJob>
#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <KPluginMetaData>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeDatabase>
#include <QPixmap>
#include <QTextStream>

#include <cstdio>

namespace {

QString NameType(const QString& path) {
  return QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
}

int Previews(const QString& outDir, const QStringList& files) {
  KFileItemList items;
  for (const QString& file : files) {
    const QString path = QFileInfo(file).absoluteFilePath();
    items.append(KFileItem(QUrl::fromLocalFile(path), NameType(path)));
  }
  const QStringList plugins = KIO::PreviewJob::defaultPlugins();
  auto* job = new KIO::PreviewJob(items, QSize(256, 256), &plugins);
  QTextStream out(stdout);
  QObject::connect(job, &KIO::PreviewJob::gotPreview,
                   [&](const KFileItem& item, const QPixmap& preview) {
                     const QString name = item.url().fileName();
                     preview.toImage().save(outDir + QLatin1Char('/') + name + QStringLiteral(".png"));
                     out << "preview " << name << ' ' << item.mimetype() << Qt::endl;
                   });
  QObject::connect(job, &KIO::PreviewJob::failed, [&](const KFileItem& item) {
    out << "failed " << item.url().fileName() << ' ' << item.mimetype() << Qt::endl;
  });
  int status = 0;
  QObject::connect(job, &KJob::result, [&](KJob* finished) {
    if (finished->error() != 0) status = 1;
    QCoreApplication::quit();
  });
  QCoreApplication::exec();
  return status;
}

int Time(const QString& pluginFile, int count, const QStringList& files) {
  const KPluginMetaData data(QFileInfo(pluginFile).absoluteFilePath());
  const auto loaded = KPluginFactory::instantiatePlugin<KIO::ThumbnailCreator>(data);
  if (!loaded) {
    std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(pluginFile),
                 qPrintable(loaded.errorString));
    return 1;
  }
  QTextStream out(stdout);
  for (const QString& file : files) {
    const QString path = QFileInfo(file).absoluteFilePath();
    const KIO::ThumbnailRequest request(QUrl::fromLocalFile(path), QSize(256, 256),
                                        NameType(path), 1.0, 0.0f);
    bool made = true;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) made = loaded.plugin->create(request).isValid() && made;
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6 / count;
    out << QFileInfo(path).fileName() << ' ' << QFileInfo(path).size() << " bytes: "
        << QString::number(ms, 'f', 2) << " ms per picture" << (made ? "" : " (refused)")
        << Qt::endl;
  }
  delete loaded.plugin;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() >= 3 && args[0] == QLatin1String("previews")) return Previews(args[1], args.mid(2));
  if (args.size() >= 4 && args[0] == QLatin1String("time")) {
    return Time(args[1], args[2].toInt(), args.mid(3));
  }
  std::fprintf(stderr, "usage: vantrel-kde-preview previews OUTDIR FILE... | "
                       "time PLUGIN COUNT FILE...\n");
  return 2;
}
