// The folder list: the chain of folders from the root down to the current
// one, and the current folder's sub-folders. Double click or Enter opens one.
#pragma once

#include <QString>
#include <QTreeWidget>

namespace kavelo {

class FolderList : public QTreeWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  QString path() const { return path_; }
  // Makes `folder` current when it can be listed; false leaves the list as
  // it was.
  bool setPath(const QString& folder);

 signals:
  void pathChanged(const QString& path);

 private:
  void rebuild();
  QString path_;
};

}  // namespace kavelo
