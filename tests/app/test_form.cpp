// The real window on the offscreen platform, without the imaging control:
// layout, lists, what the user sees of a run, the messages, and screenshots
// of each for a person to look at.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "app_test_support.h"
#include "form1.h"

namespace kavelo::test {

class FormTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Form1> form_;

  // A folder of empty files with these names, shown in a new form.
  QString open(const QString& folder, std::initializer_list<const char*> files = {}) {
    const QString path = dir_.filePath(folder);
    QDir().mkpath(path);
    for (const char* name : files) writeBytes(path + '/' + QString::fromUtf8(name), "x");
    form_ = std::make_unique<Form1>(nullptr, path);
    form_->show();
    if (!QTest::qWaitForWindowExposed(form_.get())) qFatal("no window");
    return path;
  }
  template <typename T = QWidget>
  T* child(const char* name) {
    T* found = form_->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no %s", name);
    return found;
  }
  QStringList files() {
    QStringList names;
    auto* list = child<QListWidget>("File1");
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  }
  void openFolder(const QString& name) {
    auto* tree = child<QTreeWidget>("Dir1");
    const auto found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    tree->scrollToItem(found.first());
    const QPoint at = tree->visualItemRect(found.first()).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
  }

 private slots:
  void cleanup() { form_.reset(); }

  void restingFormFollowsTheDesign() {
    open(QStringLiteral("design"));
    QCOMPARE(form_->windowTitle(), QStringLiteral("Kavelo Converter"));
    QCOMPARE(form_->palette().color(QPalette::Window), QColor(0xE0, 0xE0, 0xE0));
    QCOMPARE(form_->size(), QSize(317, 213));  // 4755 x 3200 twips
    const QWidget* client = form_->centralWidget();
    QCOMPARE(client->y(), form_->menuBar()->height());
    const struct {
      const char* name;
      QRect rect;
    } design[] = {
        {"Drive1", {16, 8, 137, 20}},      {"Dir1", {16, 32, 137, 90}},
        {"File1", {168, 32, 137, 90}},     {"Command1", {16, 136, 137, 25}},
        {"Command2", {168, 136, 137, 25}}, {"Slider1", {8, 176, 297, 17}},
        {"Rast1", {288, 8, 17, 17}},
    };
    for (const auto& d : design) QCOMPARE(child(d.name)->geometry(), d.rect);
    auto* label = child<QLabel>("Label1");
    QCOMPARE(label->pos(), QPoint(168, 16));
    QVERIFY(label->width() >= label->sizeHint().width());
    QCOMPARE(label->text(), QStringLiteral("ファイル名(*.BMP)"));
    QCOMPARE(child<QPushButton>("Command1")->text(), QStringLiteral("JPEGに変換"));
    QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("終了"));
    // The buttons fit below the menu bar at rest; the slider does not show.
    QVERIFY(child("Command1")->geometry().bottom() < client->height());
    QVERIFY(!child("Slider1")->isVisible());

    auto* m1 = child<QMenu>("M1");
    QCOMPARE(m1->title(), QStringLiteral("説明"));
    QCOMPARE(m1->actions().size(), 2);
    QCOMPARE(m1->actions()[0]->text(), QStringLiteral("説明"));
    QCOMPARE(m1->actions()[1]->text(), QStringLiteral("バージョン"));
    saveScreenshot(form_.get(), QStringLiteral("form-at-rest"));
  }

  void tabFollowsTabIndexOrder() {
    open(QStringLiteral("tabs"));
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QCOMPARE(QApplication::focusWidget(), child("Drive1"));
    for (const char* next : {"Dir1", "File1", "Command1", "Command2", "Drive1"}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), child(next));
    }
  }

  void fileListShowsBmpFilesInAnyCaseAfterEveryFolderChange() {
    const QString sub = dir_.filePath(QStringLiteral("lists/sub"));
    QDir().mkpath(sub);
    QDir().mkpath(dir_.filePath(QStringLiteral("lists/f.bmp")));
    writeBytes(sub + "/x.BMP", "x");
    writeBytes(sub + "/y.png", "x");
    open(QStringLiteral("lists"),
         {"A.bmp", "PHOTO.BMP", "c.Bmp", "d.jpg", "bmp", ".hidden.bmp", "写真.bmp"});
    const QStringList topBmps{"A.bmp", "c.Bmp", "PHOTO.BMP", "写真.bmp"};
    QCOMPARE(files(), topBmps);

    openFolder(QStringLiteral("sub"));
    QTRY_COMPARE(files(), QStringList{"x.BMP"});
    openFolder(QStringLiteral("lists"));  // back up the chain of parents
    QTRY_COMPARE(files(), topBmps);
    QCOMPARE(child<QListWidget>("File1")->selectionMode(), QAbstractItemView::ExtendedSelection);
  }

  void runShowsTheSliderOnlyWhileConverting() {
    open(QStringLiteral("run"), {"A.bmp", "PHOTO.BMP", "写真.bmp"});
    child<QListWidget>("File1")->selectAll();
    auto* slider = child<QSlider>("Slider1");
    QList<int> seen;
    connect(form_.get(), &Form1::fileConverted, this, [&](int percent) {
      if (slider->isVisible() && slider->value() == percent) seen << form_->height();
      if (seen.size() == 1) saveScreenshot(form_.get(), QStringLiteral("form-converting"));
    });
    MessageWatcher watcher(QStringLiteral("message-done"));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(seen, (QList<int>{240, 240, 240}));  // 3600 twips, slider showing
    QCOMPARE(form_->height(), 213);
    QVERIFY(!slider->isVisible());
    QCOMPARE(watcher.seen.size(), 1);
  }

  void closingDuringARunWaitsForTheLoopThenEnds() {
    open(QStringLiteral("close"), {"a.bmp", "b.bmp", "c.bmp"});
    child<QListWidget>("File1")->selectAll();
    int converted = 0;
    connect(form_.get(), &Form1::fileConverted, this, [&](int) {
      if (++converted == 1) QVERIFY(!form_->close());
    });
    MessageWatcher watcher;
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(converted, 3);
    QVERIFY(!form_->isVisible());
    QVERIFY(watcher.seen.isEmpty());
  }

  void quitButtonEndsAtOnce() {
    open(QStringLiteral("quit"));
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    QVERIFY(!form_->isVisible());
  }

  void menuShowsHowToAndVersion() {
    open(QStringLiteral("menu"));
    {
      MessageWatcher howTo(QStringLiteral("message-howto"));
      child<QMenu>("M1")->actions()[0]->trigger();
      QCOMPARE(howTo.seen.size(), 1);
      QCOMPARE(howTo.seen[0].caption, QStringLiteral("Kavelo Converterの使い方"));
      const QStringList lines = howTo.seen[0].text.split('\n');
      QCOMPARE(lines.size(), 6);
      QCOMPARE(lines[0], QStringLiteral("ファイル名の一覧の中から変換するものを選び、"));
      QCOMPARE(lines[5], QStringLiteral("ご了承下さい。"));
      QVERIFY(howTo.seen[0].plainOk);
    }
    MessageWatcher version(QStringLiteral("message-version"));
    child<QMenu>("M1")->actions()[1]->trigger();
    QCOMPARE(version.seen.size(), 1);
    QCOMPARE(version.seen[0].caption, QStringLiteral("Version"));
    const QStringList versionLines = version.seen[0].text.split('\n');
    QCOMPARE(versionLines.size(), 2);
    QCOMPARE(versionLines[0], QStringLiteral("Kavelo Converter Ver 1.01  "));
    QVERIFY(versionLines[1].startsWith(QStringLiteral("     1998.7.30 ")));
    QVERIFY(version.seen[0].plainOk);
  }
};

}  // namespace kavelo::test

QTEST_MAIN(kavelo::test::FormTest)
#include "test_form.moc"
