// RastView: shows image files through the imaging control. A file named on
// the command line opens at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "main_window.h"
#include "platform/qt_adapter.h"
#include "screenshot_script.h"
#include "view_control.h"

namespace {

int run(QApplication& app) {
  QCommandLineParser options;
  options.addHelpOption();
  options.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The image file to show."));
  // For the screenshot test: save pictures of the steps into this folder,
  // using the second file as one the control must refuse.
  QCommandLineOption screenshots(QStringLiteral("screenshots"), QString(), QStringLiteral("folder"));
  screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
  options.addOption(screenshots);
  options.process(app);

  com::HRESULT result = com::S_OK;
  std::unique_ptr<rastview::ViewControl> control = rastview::ViewControl::create(&result);
  if (!control) {
    const QString message = QStringLiteral("The imaging control (%1) cannot be created: 0x%2.")
                                .arg(QString::fromLatin1(rastview::kRastClassName))
                                .arg(static_cast<uint32_t>(result), 8, 16, QLatin1Char('0'));
    std::fprintf(stderr, "RastView: %s\n", qPrintable(message));
    QMessageBox::critical(nullptr, QStringLiteral("RastView"), message);
    return 1;
  }
  rastview::MainWindow window(std::move(control));
  window.show();
  const QStringList files = options.positionalArguments();
  if (!files.isEmpty()) window.openFile(files.first());

  std::unique_ptr<rastview::ScreenshotScript> script;
  if (options.isSet(screenshots)) {
    if (files.size() < 2) {
      std::fprintf(stderr, "RastView: --screenshots needs a sample and a broken file\n");
      return 2;
    }
    script = std::make_unique<rastview::ScreenshotScript>(window, options.value(screenshots), files.at(1));
    script->start();
  }
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RastView"));
    rxqt::start();
    return run(app);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "RastView: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "RastView: unexpected failure\n");
  }
  return 1;
}
