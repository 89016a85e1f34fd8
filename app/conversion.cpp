#include "conversion.h"

#include "folder_rules.h"

namespace kavelo {

int progressPercent(long long converted, long long total) {
  if (total <= 0 || converted <= 0) return 0;
  if (converted >= total) return 100;
  const long long scaled = converted * 100;
  long long percent = scaled / total;
  const long long twiceRest = (scaled % total) * 2;
  if (twiceRest > total || (twiceRest == total && percent % 2 != 0)) ++percent;
  return static_cast<int>(percent);
}

void convertEntries(const QString& folderPath, const QStringList& selectedEntries,
                    ImageConverter& control, const std::function<void(int)>& progress) {
  const long long total = selectedEntries.size();
  long long converted = 0;
  for (const QString& entry : selectedEntries) {
    const QString source = sourcePathFor(folderPath, entry);
    control.convert(source, outputPathFor(source));
    ++converted;
    if (progress) progress(progressPercent(converted, total));
  }
}

}  // namespace kavelo
