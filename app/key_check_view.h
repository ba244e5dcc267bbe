// The "Key check" view of the test window: the matrix with every expected
// fitted key marked once it has arrived, the keys that arrived
// but are not in the definition, and "n of m keys checked".
#pragma once

#include "app/key_check.h"

#include <QWidget>

namespace quillan {

class KeyCheckView : public QWidget {
    Q_OBJECT
  public:
    KeyCheckView(QWidget* parent, const KeyboardDefinition*& def);

    void press(KeyUsage usage);
    void reset();
    KeyCheckSummary summary() const;
    // "n of m keys checked".
    QString progressText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void drawCell(class QPainter& painter, int index, const KeyCheckSummary& summary,
                  const QRect& rect);

    const KeyboardDefinition*& def_;
    KeyCheck check_;
};

} // namespace quillan
