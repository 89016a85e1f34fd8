// The conversion loop: every selected file of the list, in list order.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "image_converter.h"

namespace kavelo {

// round-half-even(converted * 100 / total), kept within 0..100; 0 when
// there is nothing to convert.
int progressPercent(long long converted, long long total);

// Converts `selectedEntries` (names in `folderPath`, in list order) one by
// one and calls `progress` with the percentage after each file. A file
// that fails does not stop the loop.
void convertEntries(const QString& folderPath, const QStringList& selectedEntries,
                    ImageConverter& control, const std::function<void(int)>& progress);

}  // namespace kavelo
