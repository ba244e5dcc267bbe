// The main window's child controls, created in this order from one table,
// and the small widget classes they need.
#pragma once

#include "app/pictures.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <array>
#include <functional>

namespace quillan {

enum class MainControlKind { Push, Check, Static, Edit, Combo, List, OwnerDraw };

enum MainControlFlags : int {
    kHidden = 1,
    kDisabled = 2,
    kNumber = 4, // digits only
    kNoBorder = 8,
    kCentred = 16,
};

struct MainControlRow {
    MainControlKind kind;
    const char* text;
    int flags;
    int x, y, width, height;
    int id; // 0 for controls that raise no command
};

constexpr int kMainControlCount = 77;
const std::array<MainControlRow, kMainControlCount>& mainControlTable();

// A check box the program sets itself: a click only reports the command.
class CommandCheckBox : public QCheckBox {
    Q_OBJECT
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {}
};

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
