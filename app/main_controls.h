// The main window's child controls, created in this order from one table,
// and the picture button its owner-drawn rows make.
#pragma once

#include "app/pictures.h"
#include "gui/control_table.h"

#include <QAbstractButton>
#include <array>
#include <functional>

namespace quillan {

constexpr int kMainControlCount = 77;
const std::array<ControlRow, kMainControlCount>& mainControlTable();

// An owner-drawn button: shows the picture its source names, stretched
// over the button.
class PictureButton : public QAbstractButton {
    Q_OBJECT
  public:
    using PictureSource = std::function<Picture()>;
    PictureButton(QWidget* parent, PictureSource source);
    Picture picture() const { return source_(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PictureSource source_;
};

} // namespace quillan
