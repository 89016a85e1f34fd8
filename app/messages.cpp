#include "messages.h"

#include <QMessageBox>
#include <QStringList>

namespace kavelo::text {

QString formCaption() { return QStringLiteral("Kavelo Converter"); }
QString helpMenu() { return QStringLiteral("説明"); }
QString howToItem() { return QStringLiteral("説明"); }
QString versionItem() { return QStringLiteral("バージョン"); }
QString fileLabel() { return QStringLiteral("ファイル名(*.BMP)"); }
QString convertButton() { return QStringLiteral("JPEGに変換"); }
QString quitButton() { return QStringLiteral("終了"); }

QString doneCaption() { return QStringLiteral("KaveloConverter"); }
QString doneMessage() { return QStringLiteral("JPEGに変換しました。"); }

QString howToCaption() { return QStringLiteral("Kavelo Converterの使い方"); }

// Lines are joined with a plain line feed: a carriage return would show up
// as a stray glyph in a Qt label.
QString howToMessage() {
  return QStringList{
      QStringLiteral("ファイル名の一覧の中から変換するものを選び、"),
      QStringLiteral("変換ボタンをクリックするだけです。"),
      QStringLiteral("複数選択が可能なので、一括変換ができます。"),
      QStringLiteral("変換後は、同じフォルダ内にJPEGを作成します。"),
      QStringLiteral("また、時々うまく変換できないファイルがありますが、"),
      QStringLiteral("ご了承下さい。"),
  }.join(QLatin1Char('\n'));
}

QString versionCaption() { return QStringLiteral("Version"); }
QString versionMessage() {
  return QStringLiteral("Kavelo Converter Ver 1.01  \n"
                        "     1998.7.30  Rastrix 画像ツールキットで動作");
}

QString controlMissingMessage(const QString& className, int result) {
  return QStringLiteral("画像コントロール %1 を作成できません (0x%2)。")
      .arg(className)
      .arg(static_cast<uint32_t>(result), 8, 16, QLatin1Char('0'));
}

}  // namespace kavelo::text

namespace kavelo {

void showMessage(QWidget* parent, const QString& caption, const QString& message) {
  QMessageBox box(QMessageBox::NoIcon, caption, message, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace kavelo
