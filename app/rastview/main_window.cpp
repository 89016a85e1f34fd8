#include "main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "folder_files.h"
#include "platform/qt_adapter.h"
#include "tone_dialog.h"
#include "view_actions.h"

namespace rastview {
namespace {

constexpr const char* kPlaceClass = "RastViewPlace";
constexpr const char* kErrorReportTitle = "Error Report";
// A transition of 0.6 s in cells of 16 pixels: long enough to watch, short
// enough not to keep the viewer waiting, since it runs to its end at once.
constexpr int32_t kEffectBlock = 16;
constexpr int32_t kEffectMillis = 600;
// The slot the next file is loaded into before a transition moves to it.
constexpr int32_t kEffectSlot = 2;

const char* placeClass() { return rxapp::place_class(kPlaceClass, PG_GRAY_BRUSH); }

QString localFileOf(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

}  // namespace

MainWindow::MainWindow(std::unique_ptr<ViewControl> control, QWidget* parent)
    : QMainWindow(parent), control_(std::move(control)) {
  setWindowTitle(QStringLiteral("RastView"));
  setAcceptDrops(true);
  host_ = new rxqt::LayerHost(placeClass(), this);
  host_->setMinimumSize(160, 120);
  host_->installEventFilter(this);
  setCentralWidget(host_);
  resize(640, 480);
  control_->showIn(reinterpret_cast<uintptr_t>(host_->hwnd()), host_->width(), host_->height());
  // The picture takes the keys ("+" and "-" zoom, the arrows scroll).
  pw_focus_set(reinterpret_cast<HWND>(control_->window()));
  // Every failure the control meets is listed in its error report.
  control_->putLong(dispid::DebugLevel, 1);
  control_->onEvent([this](com::DISPID id) { controlEvent(id); });

  position_ = new QLabel(this);
  image_ = new QLabel(this);
  statusBar()->addWidget(position_);
  statusBar()->addPermanentWidget(image_);
  buildMenus();
  showPosition();
  showImage();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::controlHost() const { return host_; }

void MainWindow::buildMenus() {
  buildFileMenu();
  buildViewMenu();
  buildEffectsMenu();
  buildToolsMenu();
  buildHelpMenu();
}

void MainWindow::buildFileMenu() {
  QMenu* menu = menuBar()->addMenu(tr("&File"));
  menu->addAction(tr("&Open..."), QKeySequence::Open, this, &MainWindow::openDialog);
  menu->addSeparator();
  menu->addAction(tr("&Next file"), QKeySequence(Qt::Key_PageDown), this, [this] { stepFile(1); });
  menu->addAction(tr("&Previous file"), QKeySequence(Qt::Key_PageUp), this, [this] { stepFile(-1); });
  menu->addAction(tr("Next pa&ge"), QKeySequence(Qt::CTRL | Qt::Key_PageDown), this, [this] { stepPage(1); });
  menu->addAction(tr("Previous p&age"), QKeySequence(Qt::CTRL | Qt::Key_PageUp), this,
                  [this] { stepPage(-1); });
  menu->addSeparator();
  menu->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
}

void MainWindow::buildViewMenu() {
  QMenu* menu = menuBar()->addMenu(tr("&View"));
  menu->addAction(tr("Zoom &in"), QKeySequence::ZoomIn, this, [this] { zoom(1); });
  menu->addAction(tr("Zoom &out"), QKeySequence::ZoomOut, this, [this] { zoom(-1); });
  menu->addAction(tr("&100 %"), QKeySequence(Qt::CTRL | Qt::Key_0), this, &MainWindow::zoomActual);
  QMenu* turn = menu->addMenu(tr("&Rotate"));
  turn->addAction(tr("&Right"), QKeySequence(Qt::CTRL | Qt::Key_R), this, [this] { rotate(90); });
  turn->addAction(tr("&Left"), QKeySequence(Qt::CTRL | Qt::Key_L), this, [this] { rotate(270); });
  turn->addAction(tr("&Upside down"), this, [this] { rotate(180); });
  int count = 0;
  const Choice* choices = viewChoices(&count);
  QMenu* sub = nullptr;
  QActionGroup* group = nullptr;
  for (int i = 0; i < count; ++i) {
    const Choice& c = choices[i];
    if (sub == nullptr || sub->title() != QString::fromUtf8(c.menu)) {
      sub = menu->addMenu(QString::fromUtf8(c.menu));
      group = new QActionGroup(sub);
    }
    QAction* action = sub->addAction(QString::fromUtf8(c.text));
    action->setCheckable(true);
    action->setChecked(c.checked);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, c] {
      control_->putLong(c.id, c.value);
      if (c.id == dispid::FitMethod) fitting_ = true;
      showImage();
    });
  }
  menu->addSeparator();
  menu->addAction(tr("&Gamma, brightness, contrast..."), this, [this] {
    if (tone_ == nullptr) tone_ = new ToneDialog(*control_, this);
    tone_->refresh();
    tone_->show();
    tone_->raise();
  });
}

void MainWindow::buildEffectsMenu() {
  QMenu* menu = menuBar()->addMenu(tr("&Effects"));
  for (int effect = 0; effect < kEffectCount; ++effect)
    menu->addAction(QString::fromUtf8(effectName(effect)), this, [this, effect] { showWithEffect(effect); });
}

void MainWindow::buildToolsMenu() {
  QMenu* menu = menuBar()->addMenu(tr("&Tools"));
  int count = 0;
  const Toggle* toggles = toolToggles(&count);
  for (int i = 0; i < count; ++i) {
    const Toggle& t = toggles[i];
    QAction* action = menu->addAction(QString::fromUtf8(t.text));
    action->setShortcut(QKeySequence(QString::fromLatin1(t.shortcut)));
    action->setCheckable(true);
    connect(action, &QAction::toggled, this, [this, t](bool on) { showTool(t.id, on ? t.on : t.off); });
  }
}

void MainWindow::buildHelpMenu() {
  QMenu* menu = menuBar()->addMenu(tr("&Help"));
  menu->addAction(tr("&Error Report"), this, &MainWindow::showErrorReport);
  menu->addAction(tr("&About"), this, &MainWindow::showAbout);
}

void MainWindow::openDialog() {
  const QString folder = current_.isEmpty() ? QString() : QFileInfo(current_).absolutePath();
  const QString path = QFileDialog::getOpenFileName(this, tr("Open image"), folder);
  if (!path.isEmpty()) openFile(path);
}

bool MainWindow::loadInto(const QString& path) {
  control_->putPath(dispid::LoadImage, path);
  return control_->getLong(dispid::ErrCount) == 0;
}

bool MainWindow::openFile(const QString& path) {
  if (!loadInto(path)) {
    // The control kept the picture but its LoadImage names the failed file.
    loadImageStale_ = !current_.isEmpty();
    statusBar()->showMessage(tr("Cannot open %1").arg(QFileInfo(path).fileName()), 5000);
    return false;
  }
  imageLoaded(path);
  return true;
}

void MainWindow::imageLoaded(const QString& path) {
  describe(path);
  showImage();
}

void MainWindow::describe(const QString& path) {
  current_ = QFileInfo(path).absoluteFilePath();
  loadImageStale_ = false;
  format_ = control_->getString(dispid::ImageType);
  pageCount_ = control_->getLong(dispid::PageCount);
  page_ = pageCount_ > 0 ? 1 : 0;
  fitting_ = true;
  setWindowTitle(QStringLiteral("RastView - ") + QFileInfo(path).fileName());
}

void MainWindow::restoreLoadImage() {
  if (!loadImageStale_ || current_.isEmpty()) return;
  if (loadInto(current_)) loadImageStale_ = false;
}

bool MainWindow::stepFile(int step) {
  if (current_.isEmpty()) return false;
  const QString next = neighbour(viewableFiles(QFileInfo(current_).absolutePath()), current_, step);
  return !next.isEmpty() && openFile(next);
}

bool MainWindow::stepPage(int step) {
  if (current_.isEmpty() || pageCount_ < 2) return false;
  const int32_t target = page_ + step;
  if (target < 1 || target > pageCount_) return false;
  restoreLoadImage();
  control_->putLong(dispid::Page, target);
  if (control_->getLong(dispid::ErrCount) != 0) {
    // A page that fails to load leaves no picture: show the first again.
    loadInto(current_);
    page_ = 1;
    showImage();
    return false;
  }
  page_ = target;
  showImage();
  return true;
}

void MainWindow::zoom(int direction) {
  fitting_ = false;
  control_->putLong(dispid::ZoomLevel, zoomStep(control_->getLong(dispid::ZoomLevel), direction));
  showImage();
}

void MainWindow::zoomActual() {
  fitting_ = false;
  control_->putLong(dispid::ZoomLevel, 100);
  showImage();
}

void MainWindow::rotate(int32_t degrees) {
  if (current_.isEmpty()) return;
  control_->putLong(dispid::Rotate, degrees);
  if (fitting_) control_->putLong(dispid::FitMethod, control_->getLong(dispid::FitMethod));
  showImage();
}

void MainWindow::showTool(com::DISPID id, int32_t value) {
  if (value != 0) placeToolWindows();
  control_->putLong(id, value);
}

// The control makes its tool windows at their stored places: the
// magnifier and below it the pan window, to the right of this window
// where the screen has room, else against the screen's right edge.
void MainWindow::placeToolWindows() {
  constexpr int kGap = 8, kWidth = 256, kHeight = 192;
  const QRect frame = frameGeometry();
  const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : frame;
  const int x = qMax(screen.left(), qMin(frame.right() + kGap, screen.right() - kWidth));
  const int places[][2] = {{2, frame.top()}, {1, frame.top() + kHeight + 2 * kGap + 24}};
  for (const auto& place : places) {
    control_->putLong(dispid::GUIWindow, place[0]);
    control_->putLong(dispid::GUIXpos, x);
    control_->putLong(dispid::GUIYpos, place[1]);
    control_->putLong(dispid::GUIWidth, kWidth);
    control_->putLong(dispid::GUIHeight, kHeight);
  }
  control_->putLong(dispid::GUIWindow, -1);
}

// The next file goes into a slot of its own; the shown picture is made
// current again so that the transition runs from it to the new one.
bool MainWindow::showWithEffect(int effect) {
  if (current_.isEmpty()) return false;
  const QString next = neighbour(viewableFiles(QFileInfo(current_).absolutePath()), current_, 1);
  if (next.isEmpty()) return false;
  control_->putLong(dispid::ImageIndex, kEffectSlot);
  const bool loaded = loadInto(next);
  // Described while LoadImage names it: the transition leaves LoadImage
  // empty.
  if (loaded) describe(next);
  control_->putLong(dispid::ImageIndex, 1);
  if (!loaded) {
    loadImageStale_ = true;
    return false;
  }
  control_->putLong(dispid::DisplayEffect, effect);
  control_->putLong(dispid::DisplayEffectSize, kEffectBlock);
  control_->putLong(dispid::DisplayEffectTime, kEffectMillis);
  control_->putLong(dispid::DisplayEffectIndex, kEffectSlot);
  // Paging reads LoadImage: it is put back to this file when needed.
  loadImageStale_ = true;
  showImage();
  return true;
}

// The report window is the control's own, made on its first failure.
void MainWindow::showErrorReport() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<rxqt::DialogWidget*>(w);
    if (dialog != nullptr && dialog->windowTitle() == QLatin1String(kErrorReportTitle)) {
      pw_window_show(dialog->dialog(), SW_SHOWNORMAL);
      dialog->show();
      dialog->raise();
      return;
    }
  }
  QMessageBox::information(this, QString::fromLatin1(kErrorReportTitle), tr("No errors so far."));
}

void MainWindow::showAbout() { control_->putBool(dispid::About, true); }

void MainWindow::controlEvent(com::DISPID id) {
  if (id == kEventMouseMove) showPosition();
  // The zoom to a dragged rectangle follows the event: the zoom shown is
  // read once it is done.
  if (id == kEventSelect) {
    fitting_ = false;
    QTimer::singleShot(0, this, &MainWindow::showImage);
  }
}

QString MainWindow::positionText() const {
  if (current_.isEmpty()) return {};
  return tr("X %1  Y %2")
      .arg(control_->getLong(dispid::ImagePosX))
      .arg(control_->getLong(dispid::ImagePosY));
}

QString MainWindow::imageText() const {
  if (current_.isEmpty()) return tr("No image");
  QString text = tr("%1 x %2, %3 bpp, %4")
                     .arg(control_->getLong(dispid::ImageWidth))
                     .arg(control_->getLong(dispid::ImageHeight))
                     .arg(control_->getLong(dispid::ImageBitsPerPixel))
                     .arg(format_);
  if (pageCount_ > 1) text += tr(", page %1 of %2").arg(page_).arg(pageCount_);
  return text + tr(", %1 %").arg(control_->getLong(dispid::ZoomLevel));
}

void MainWindow::showPosition() { position_->setText(positionText()); }
void MainWindow::showImage() { image_->setText(imageText()); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!localFileOf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = localFileOf(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  openFile(path);
}

// The control's place follows the window's size; a file dropped on the
// picture opens, instead of going to the layer window as a message.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == host_) {
    if (event->type() == QEvent::Resize) {
      const QSize size = static_cast<QResizeEvent*>(event)->size();
      control_->resize(size.width(), size.height());
      // A zoom stays through a change of size; a fitted picture is
      // fitted to the new size.
      if (!current_.isEmpty() && fitting_) {
        control_->putLong(dispid::FitMethod, control_->getLong(dispid::FitMethod));
        showImage();
      }
    } else if (event->type() == QEvent::KeyPress) {
      // "+" and "-" zoom in the control's window itself: the zoom shown is
      // read once the window has had the key.
      const QString text = static_cast<QKeyEvent*>(event)->text();
      if (text == QLatin1String("+") || text == QLatin1String("-")) {
        fitting_ = false;
        QTimer::singleShot(0, this, &MainWindow::showImage);
      }
    } else if (event->type() == QEvent::Drop) {
      dropEvent(static_cast<QDropEvent*>(event));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace rastview
