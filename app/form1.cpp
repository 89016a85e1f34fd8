#include "form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

#include "control_client.h"
#include "conversion.h"
#include "drive_list.h"
#include "file_list.h"
#include "folder_list.h"
#include "folder_rules.h"
#include "form1_layout.h"
#include "messages.h"
#include "platform/qt_adapter.h"

namespace kavelo {

namespace {

const QString kPattern = QStringLiteral("*.bmp");

class NoConverter final : public ImageConverter {
 public:
  void convert(const QString&, const QString&) override {}
};

// The window class of the control's place: a plain window the control's
// own window is a child of.
constexpr const char* kRastPlaceClass = "KaveloRastPlace";

const char* rastPlaceClass() { return rxapp::place_class(kRastPlaceClass, PG_WHITE_BRUSH); }

void place(QWidget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  for (const layout::TwipsRect& r : layout::kControls) {
    if (qstrcmp(r.name, name) == 0) {
      widget->setGeometry(layout::pixels(r.left), layout::pixels(r.top), layout::pixels(r.width),
                          layout::pixels(r.height));
      return;
    }
  }
}

}  // namespace

Form1::Form1(std::unique_ptr<ImageConverter> control, const QString& startFolder,
             QWidget* parent)
    : QMainWindow(parent), control_(std::move(control)) {
  if (!control_) control_ = std::make_unique<NoConverter>();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(text::formCaption());
  QPalette back = palette();
  back.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
  setPalette(back);
  setAutoFillBackground(true);

  buildMenu();
  buildControls();

  centreOnScreen();
  setFormHeight(layout::kRestHeight);
  file1_->setPattern(kPattern);
  openStartFolder(startFolder);
  drive1_->setFocus();
}

Form1::~Form1() = default;

void Form1::buildMenu() {
  QMenu* m1 = menuBar()->addMenu(text::helpMenu());
  m1->setObjectName(QStringLiteral("M1"));
  QAction* m2 = m1->addAction(text::howToItem());
  m2->setObjectName(QStringLiteral("M2"));
  QAction* ver = m1->addAction(text::versionItem());
  ver->setObjectName(QStringLiteral("Ver"));
  connect(m2, &QAction::triggered, this,
          [this] { showMessage(this, text::howToCaption(), text::howToMessage()); });
  connect(ver, &QAction::triggered, this,
          [this] { showMessage(this, text::versionCaption(), text::versionMessage()); });
}

void Form1::buildControls() {
  auto* client = new QWidget(this);
  setCentralWidget(client);

  drive1_ = new DriveList(client);
  place(drive1_, "Drive1");
  dir1_ = new FolderList(client);
  place(dir1_, "Dir1");
  file1_ = new FileList(client);
  place(file1_, "File1");
  label1_ = new QLabel(text::fileLabel(), client);
  place(label1_, "Label1");
  // Fonts here may be wider than the designer's: grow rather than clip.
  label1_->resize(qMax(label1_->width(), label1_->sizeHint().width()), label1_->height());
  command1_ = new QPushButton(text::convertButton(), client);
  place(command1_, "Command1");
  command2_ = new QPushButton(text::quitButton(), client);
  place(command2_, "Command2");
  slider1_ = new QSlider(Qt::Horizontal, client);
  place(slider1_, "Slider1");
  slider1_->setRange(0, 100);
  slider1_->setFocusPolicy(Qt::NoFocus);
  slider1_->hide();
  auto* rast1 = new rxqt::LayerHost(rastPlaceClass(), client);
  rast1_ = rast1;
  rast1_->setFocusPolicy(Qt::NoFocus);
  place(rast1_, "Rast1");
  control_->showIn(reinterpret_cast<uintptr_t>(rast1->hwnd()), rast1_->width(), rast1_->height());

  setTabOrder(drive1_, dir1_);
  setTabOrder(dir1_, file1_);
  setTabOrder(file1_, command1_);
  setTabOrder(command1_, command2_);

  connect(drive1_, &DriveList::driveChanged, this, &Form1::onDriveChanged);
  connect(dir1_, &FolderList::pathChanged, this, &Form1::onFolderChanged);
  connect(file1_, &QListWidget::itemSelectionChanged, this, &Form1::onSelectionChanged);
  connect(command1_, &QPushButton::clicked, this, &Form1::convertSelected);
  connect(command2_, &QPushButton::clicked, this, &QWidget::close);
}

void Form1::centreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const int width = layout::pixels(layout::kClientWidth);
  const int height = layout::pixels(layout::kClientHeight) + menuBar()->sizeHint().height();
  move(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2);
}

void Form1::setFormHeight(int twips) {
  // The controls sit at fixed places: only the program changes the size.
  setFixedSize(layout::pixels(layout::kClientWidth), layout::pixels(twips));
}

void Form1::openStartFolder(const QString& startFolder) {
  for (const QString& folder : {startFolder, QDir::currentPath(), QDir::homePath()}) {
    if (!folder.isEmpty() && dir1_->setPath(folder)) break;
  }
  if (dir1_->path().isEmpty()) dir1_->setPath(QStringLiteral("/"));
}

void Form1::onDriveChanged(const QString& root) {
  // A drive that cannot be listed (media pulled out): stay where we are.
  if (!dir1_->setPath(root)) drive1_->showDriveOf(dir1_->path());
}

void Form1::onFolderChanged() {
  drive1_->showDriveOf(dir1_->path());
  // The pattern was set once at start: setting it again would list the
  // folder a second time.
  file1_->setPath(dir1_->path());
}

void Form1::onSelectionChanged() { folderPath_ = folderPathFromListPath(file1_->path()); }

void Form1::convertSelected() {
  if (converting_) return;
  converting_ = true;
  slider1_->setValue(0);
  setFormHeight(layout::kConvertingHeight);
  slider1_->show();
  showPaintedProgress();

  convertEntries(folderPath_, file1_->selectedEntries(), *control_, [this](int percent) {
    slider1_->setValue(percent);
    emit fileConverted(percent);
    showPaintedProgress();
  });

  setFormHeight(layout::kRestHeight);
  slider1_->hide();
  converting_ = false;
  if (closeRequested_) {
    close();
    return;
  }
  showMessage(this, text::doneCaption(), text::doneMessage());
}

void Form1::showPaintedProgress() {
  // Paint, resize and timers only: the user's clicks and keys wait until
  // the loop has ended.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Form1::closeEvent(QCloseEvent* event) {
  if (converting_) {
    // The loop ignores the user; the window closes as soon as it ends.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace kavelo
