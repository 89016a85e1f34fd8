// What the conversion loop needs from the imaging control: one call per
// file. The real control sits behind it (RastHost); tests put a recorder.
#pragma once

#include <QString>

#include <cstdint>

namespace kavelo {

class ImageConverter {
 public:
  virtual ~ImageConverter() = default;
  // Loads `source` and writes it as a JPEG file to `output`. Reports
  // nothing: the program never looks at the control's results.
  virtual void convert(const QString& source, const QString& output) = 0;
  // Shows the control in a window of the form's window layer (its place
  // on the form, width x height pixels). A recorder has nothing to show.
  virtual void showIn(uintptr_t window, int width, int height) {
    (void)window;
    (void)width;
    (void)height;
  }
};

}  // namespace kavelo
