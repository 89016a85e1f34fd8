#include "tone_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <cmath>

#include "view_control.h"

namespace rastview {
namespace {

// Gamma and contrast move in hundredths; brightness in whole steps. The
// control takes gamma up to 3 and brightness and contrast within +-255;
// contrast is a factor, so a few times the plain 1.0 is plenty.
constexpr int kGammaLow = 10, kGammaHigh = 300;
constexpr int kContrastLow = 0, kContrastHigh = 400;
constexpr int kBrightnessLow = -255, kBrightnessHigh = 255;

QString hundredths(int value) { return QString::number(value / 100.0, 'f', 2); }

}  // namespace

ToneDialog::ToneDialog(ViewControl& control, QWidget* parent) : QDialog(parent), control_(control) {
  setWindowTitle(tr("Gamma, brightness and contrast"));
  auto* grid = new QGridLayout(this);
  gamma_ = addRow(grid, 0, tr("&Gamma"), kGammaLow, kGammaHigh, &gammaValue_);
  brightness_ = addRow(grid, 1, tr("&Brightness"), kBrightnessLow, kBrightnessHigh, &brightnessValue_);
  contrast_ = addRow(grid, 2, tr("&Contrast"), kContrastLow, kContrastHigh, &contrastValue_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Reset, this);
  grid->addWidget(buttons, 3, 0, 1, 3);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, &ToneDialog::reset);
  refresh();
}

QSlider* ToneDialog::addRow(QGridLayout* grid, int row, const QString& name, int low, int high,
                            QLabel** value) {
  auto* label = new QLabel(name, this);
  auto* slider = new QSlider(Qt::Horizontal, this);
  slider->setRange(low, high);
  slider->setMinimumWidth(240);
  label->setBuddy(slider);
  *value = new QLabel(this);
  (*value)->setMinimumWidth(48);
  grid->addWidget(label, row, 0);
  grid->addWidget(slider, row, 1);
  grid->addWidget(*value, row, 2);
  connect(slider, &QSlider::valueChanged, this, &ToneDialog::write);
  return slider;
}

void ToneDialog::refresh() {
  syncing_ = true;
  gamma_->setValue(static_cast<int>(std::lround(control_.getDouble(dispid::DisplayGamma) * 100)));
  brightness_->setValue(static_cast<int>(std::lround(control_.getDouble(dispid::DisplayBrightness))));
  contrast_->setValue(static_cast<int>(std::lround(control_.getDouble(dispid::DisplayContrast) * 100)));
  syncing_ = false;
  gammaValue_->setText(hundredths(gamma_->value()));
  brightnessValue_->setText(QString::number(brightness_->value()));
  contrastValue_->setText(hundredths(contrast_->value()));
}

// The control rebuilds its lookup tables from all three on each write, so
// only the one that moved is written.
void ToneDialog::write() {
  if (syncing_) return;
  const QObject* moved = sender();
  if (moved == gamma_) control_.putDouble(dispid::DisplayGamma, gamma_->value() / 100.0);
  if (moved == brightness_) control_.putDouble(dispid::DisplayBrightness, brightness_->value());
  if (moved == contrast_) control_.putDouble(dispid::DisplayContrast, contrast_->value() / 100.0);
  refresh();
}

void ToneDialog::reset() {
  control_.putDouble(dispid::DisplayGamma, 1.0);
  control_.putDouble(dispid::DisplayBrightness, 0.0);
  control_.putDouble(dispid::DisplayContrast, 1.0);
  refresh();
}

}  // namespace rastview
