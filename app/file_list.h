// The file list: the files of one folder whose names match a pattern
// without regard to case ("*.bmp" lists PHOTO.BMP), several selectable
// with Shift and Ctrl.
#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>

namespace kavelo {

class FileList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

  QString path() const { return path_; }
  void setPath(const QString& folder);
  void setPattern(const QString& pattern);

  // The names of the selected entries, in list order.
  QStringList selectedEntries() const;

 private:
  void reload();
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
};

}  // namespace kavelo
