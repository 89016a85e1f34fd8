#include <QApplication>

#include <cstdio>
#include <exception>

#include "form1.h"
#include "messages.h"
#include "platform/qt_adapter.h"
#include "rast_host.h"

int main(int argc, char** argv) {
  try {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(true);
    rxqt::start();

    com::HRESULT result = com::S_OK;
    std::unique_ptr<kavelo::RastHost> control = kavelo::RastHost::create(&result);
    if (!control) {
      const QString message = kavelo::text::controlMissingMessage(
          QString::fromLatin1(kavelo::kRastClassName), result);
      std::fprintf(stderr, "KaveloConvert: %s\n", message.toLocal8Bit().constData());
      kavelo::showMessage(nullptr, kavelo::text::formCaption(), message);
      return 1;
    }

    // Only the launcher script sets this, to open the bundled samples.
    const QString startFolder = qEnvironmentVariable("RX_KAVELO_START_DIR");
    kavelo::Form1 form(std::move(control), startFolder);
    form.show();
    return app.exec();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "KaveloConvert: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "KaveloConvert: unexpected failure\n");
  }
  return 1;
}
