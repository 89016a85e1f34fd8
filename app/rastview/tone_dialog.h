// Gamma, brightness and contrast of the display: three sliders whose every
// move is written to the control, so the picture follows at once. The
// control keeps the values; the dialog reads them when it opens.
#pragma once

#include <QDialog>

#include "view_control.h"

class QGridLayout;
class QLabel;
class QSlider;

namespace rastview {

class ToneDialog : public QDialog {
  Q_OBJECT

 public:
  ToneDialog(ViewControl& control, QWidget* parent = nullptr);
  // Reads the control's values into the sliders.
  void refresh();
  QSlider* gamma() const { return gamma_; }
  QSlider* brightness() const { return brightness_; }
  QSlider* contrast() const { return contrast_; }

 private:
  QSlider* addRow(QGridLayout* grid, int row, const QString& name, int low, int high,
                  QLabel** value);
  void write();
  void reset();

  ViewControl& control_;
  QSlider* gamma_;
  QSlider* brightness_;
  QSlider* contrast_;
  QLabel* gammaValue_ = nullptr;
  QLabel* brightnessValue_ = nullptr;
  QLabel* contrastValue_ = nullptr;
  bool syncing_ = false;
};

}  // namespace rastview
