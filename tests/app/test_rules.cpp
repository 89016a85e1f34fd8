// Naming rules, progress arithmetic and the choice of drives: the parts of
// the converter that need no window.
#include <QTest>

#include "conversion.h"
#include "drive_list.h"
#include "folder_rules.h"

namespace kavelo::test {

class RulesTest : public QObject {
  Q_OBJECT

 private slots:
  void folderSourceAndOutputPaths_data() {
    QTest::addColumn<QString>("listPath");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("output");
    QTest::newRow("root: one separator") << "/" << "a.bmp" << "/a.bmp" << "/a.jpg";
    QTest::newRow("trailing separator") << "/home/u/" << "a.bmp" << "/home/u/a.bmp" << "/home/u/a.jpg";
    QTest::newRow("upper case") << "/x" << "PHOTO.BMP" << "/x/PHOTO.BMP" << "/x/PHOTO.jpg";
    QTest::newRow("last extension only") << "/x" << "a.bmp.Bmp" << "/x/a.bmp.Bmp" << "/x/a.bmp.jpg";
    QTest::newRow("japanese") << "/写真" << "夏.bmp" << "/写真/夏.bmp" << "/写真/夏.jpg";
    QTest::newRow("never the source") << "/x" << "a.jpg" << "/x/a.jpg" << "/x/a.jpg.jpg";
  }
  void folderSourceAndOutputPaths() {
    QFETCH(QString, listPath);
    QFETCH(QString, entry);
    QFETCH(QString, source);
    QFETCH(QString, output);
    const QString built = sourcePathFor(folderPathFromListPath(listPath), entry);
    QCOMPARE(built, source);
    QCOMPARE(outputPathFor(built), output);
  }

  void progressRoundsHalfToEvenWithin0To100_data() {
    QTest::addColumn<int>("converted");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("percent");
    QTest::newRow("1/3") << 1 << 3 << 33;
    QTest::newRow("2/3") << 2 << 3 << 67;
    QTest::newRow("12.5 -> 12") << 1 << 8 << 12;
    QTest::newRow("37.5 -> 38") << 3 << 8 << 38;
    QTest::newRow("99.5 -> 100") << 199 << 200 << 100;
    QTest::newRow("past the end") << 5 << 3 << 100;
    QTest::newRow("nothing to do") << 0 << 0 << 0;
    QTest::newRow("past 16 bits") << 40000 << 80000 << 50;
  }
  void progressRoundsHalfToEvenWithin0To100() {
    QFETCH(int, converted);
    QFETCH(int, total);
    QFETCH(int, percent);
    QCOMPARE(progressPercent(converted, total), percent);
  }

  void drivesAreRootHomeAndMedia() {
    const std::vector<Volume> mounted = {
        {"/", "", true},         {"/proc", "", true},          {"/run/user/1000", "", true},
        {"/boot/efi", "", true}, {"/media/u/CAM", "CAM", true}, {"/run/media/u/stick", "", true},
        {"/mnt/gone", "", false}, {"/home", "data", true},      {"/media", "", true},
    };
    QStringList roots;
    for (const Drive& d : pickDrives(mounted, QStringLiteral("/home"))) roots << d.root;
    QCOMPARE(roots, (QStringList{"/", "/home", "/media/u/CAM", "/run/media/u/stick"}));
    // A home folder on the root volume adds no second entry.
    QCOMPARE(pickDrives(mounted, QStringLiteral("/")).size(), size_t(3));

    const std::vector<Drive> drives = {{"/", "/"}, {"/home", "/home"}, {"/media/u/A", "A"}};
    QCOMPARE(driveIndexFor(drives, "/media/u/A/pics"), 2);
    QCOMPARE(driveIndexFor(drives, "/media/u/AB"), 0);  // a longer name is no child
    QCOMPARE(driveIndexFor(drives, "/homework"), 0);
  }
};

}  // namespace kavelo::test

QTEST_MAIN(kavelo::test::RulesTest)
#include "test_rules.moc"
