#include "drive_list.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStorageInfo>

#include <algorithm>

namespace kavelo {

namespace {

bool isRemovableMount(const QString& root) {
  for (const QLatin1String base : {QLatin1String("/media/"), QLatin1String("/run/media/"),
                                   QLatin1String("/mnt/")}) {
    if (root.startsWith(base) && root.size() > base.size()) return true;
  }
  return false;
}

QString labelFor(const Volume& volume) {
  if (volume.name.isEmpty() || volume.root == QLatin1String("/")) return volume.root;
  return volume.root + QStringLiteral("  [") + volume.name + QLatin1Char(']');
}

bool holds(const QString& root, const QString& path) {
  if (root == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
  return path == root || path.startsWith(root + QLatin1Char('/'));
}

std::vector<Volume> mountedVolumes() {
  std::vector<Volume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    if (!info.isValid()) continue;
    volumes.push_back({info.rootPath(), info.name(), info.isReady()});
  }
  return volumes;
}

}  // namespace

std::vector<Drive> pickDrives(const std::vector<Volume>& mounted, const QString& homeRoot) {
  std::vector<Drive> drives;
  drives.push_back({QStringLiteral("/"), QStringLiteral("/")});
  auto known = [&drives](const QString& root) {
    return std::any_of(drives.begin(), drives.end(),
                       [&root](const Drive& d) { return d.root == root; });
  };

  if (!homeRoot.isEmpty() && !known(homeRoot)) {
    auto it = std::find_if(mounted.begin(), mounted.end(),
                           [&homeRoot](const Volume& v) { return v.root == homeRoot; });
    drives.push_back({homeRoot, it != mounted.end() ? labelFor(*it) : homeRoot});
  }

  std::vector<Volume> removable;
  for (const Volume& v : mounted) {
    if (v.ready && isRemovableMount(v.root)) removable.push_back(v);
  }
  std::sort(removable.begin(), removable.end(),
            [](const Volume& a, const Volume& b) { return a.root < b.root; });
  for (const Volume& v : removable) {
    if (!known(v.root)) drives.push_back({v.root, labelFor(v)});
  }
  return drives;
}

int driveIndexFor(const std::vector<Drive>& drives, const QString& path) {
  int best = -1;
  qsizetype bestLength = -1;
  for (size_t i = 0; i < drives.size(); ++i) {
    if (holds(drives[i].root, path) && drives[i].root.size() > bestLength) {
      best = static_cast<int>(i);
      bestLength = drives[i].root.size();
    }
  }
  return best;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  reload();
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0 && static_cast<size_t>(index) < drives_.size()) {
      emit driveChanged(drives_[static_cast<size_t>(index)].root);
    }
  });
}

QString DriveList::drive() const {
  const int index = currentIndex();
  if (index < 0 || static_cast<size_t>(index) >= drives_.size()) return {};
  return drives_[static_cast<size_t>(index)].root;
}

void DriveList::showDriveOf(const QString& path) {
  const QSignalBlocker quiet(this);
  setCurrentIndex(driveIndexFor(drives_, path));
}

void DriveList::showPopup() {
  const QString current = drive();
  reload();
  {
    const QSignalBlocker quiet(this);
    setCurrentIndex(driveIndexFor(drives_, current));
  }
  QComboBox::showPopup();
}

void DriveList::reload() {
  const QSignalBlocker quiet(this);
  drives_ = pickDrives(mountedVolumes(), QStorageInfo(QDir::homePath()).rootPath());
  clear();
  for (const Drive& d : drives_) addItem(d.label);
}

}  // namespace kavelo
