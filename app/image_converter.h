// What the conversion loop needs from the imaging control: one call per
// file. The real control sits behind it (RastHost); tests put a recorder.
#pragma once

#include <QString>

namespace kavelo {

class ImageConverter {
 public:
  virtual ~ImageConverter() = default;
  // Loads `source` and writes it as a JPEG file to `output`. Reports
  // nothing: the program never looks at the control's results.
  virtual void convert(const QString& source, const QString& output) = 0;
};

}  // namespace kavelo
