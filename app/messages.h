// The program's messages: their exact texts and how they are shown.
#pragma once

#include <QString>

class QWidget;

namespace kavelo::text {

QString formCaption();
QString helpMenu();
QString howToItem();
QString versionItem();
QString fileLabel();
QString convertButton();
QString quitButton();

QString doneCaption();
QString doneMessage();
QString howToCaption();
QString howToMessage();
QString versionCaption();
QString versionMessage();
QString controlMissingMessage(const QString& className, int result);

}  // namespace kavelo::text

namespace kavelo {

// A modal message box with only an OK button and no icon; returns when the
// user dismisses it.
void showMessage(QWidget* parent, const QString& caption, const QString& message);

}  // namespace kavelo
