// The drive list: the mounted volumes a user would pick a folder from.
#pragma once

#include <QComboBox>
#include <QString>

#include <vector>

namespace kavelo {

struct Volume {
  QString root;   // mount point
  QString name;   // volume label, may be empty
  bool ready = true;
};

struct Drive {
  QString root;
  QString label;
};

// The root first, then the volume holding the home folder, then removable
// media (volumes mounted under /media, /run/media or /mnt), each once.
// System mounts (/proc, /sys, /run, /boot...) are left out: nobody keeps
// pictures there.
std::vector<Drive> pickDrives(const std::vector<Volume>& mounted, const QString& homeRoot);

// The index of the drive whose root holds `path` most closely; -1 if none.
int driveIndexFor(const std::vector<Drive>& drives, const QString& path);

class DriveList : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(QWidget* parent = nullptr);

  QString drive() const;
  // Shows the drive that holds `path` without announcing a change.
  void showDriveOf(const QString& path);

 signals:
  void driveChanged(const QString& root);

 protected:
  // Media may come and go while the program runs.
  void showPopup() override;

 private:
  void reload();
  std::vector<Drive> drives_;
};

}  // namespace kavelo
