// The keyboard test window: one line per key message the desktop delivers,
// with kind, key name, repeat count, scan code and the four flags. Lines
// scroll up; "StopTest" hides the window.
#pragma once

#include "gui/key_events.h"
#include "model/definition.h"

#include <QString>
#include <QWidget>
#include <deque>

class QPushButton;

namespace quillan {

class KeyCheckView;

struct TestLine {
    QString kind;
    QString keyName;
    int repeatCount = 0;
    int scanCode = 0;
    QString extended;
    QString context;
    QString previous;
    QString transition;
};

class TestWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStopTestId = 35117;
    static constexpr int kKeyCheckId = 35189; // switches between the two views
    static constexpr int kResetId = 35190;    // starts the key check afresh
    static constexpr int kKeptLines = 64;     // more than the window can show
    static constexpr int kLineStep = 15;      // pixels each new line scrolls up
    static constexpr int kFixedStrip = 40;

    // Column positions in thousandths of an inch from the left edge.
    static constexpr int kKindColumn = 0, kNameColumn = 1500, kRepeatColumn = 3000,
                         kScanColumn = 3500, kExtColumn = 4000, kContextColumn = 5000,
                         kPreviousColumn = 6000, kTransitionColumn = 7000;
    static constexpr int kLineHeight = 200; // text top above the bottom edge

    TestWindow();

    // Builds and draws the line of one key message.
    void addKeyMessage(const KeyMessage& message);
    // The newest line last.
    const std::deque<TestLine>& lines() const { return lines_; }

    // The key check compares arriving keys with this definition.
    void setDefinition(const KeyboardDefinition* def) { def_ = def; }
    void showKeyCheck(bool on);
    bool keyCheckShown() const;
    KeyCheckView* keyCheck() const { return keyCheck_; }
    // Starts the key check afresh (also each time the window is opened).
    void resetKeyCheck();

    // thousandths of an inch -> pixels at dpi.
    static int toPixels(int thousandths, int dpi) { return (thousandths * dpi + 500) / 1000; }

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void drawLine(class QPainter& painter, const TestLine& line, int top);

    KeyEventTranslator translator_;
    std::deque<TestLine> lines_;
    QPushButton* stopTest_ = nullptr;
    QPushButton* keyCheckButton_ = nullptr;
    QPushButton* reset_ = nullptr;
    const KeyboardDefinition* def_ = nullptr;
    KeyCheckView* keyCheck_ = nullptr;
};

// Builds the line texts of a key message (kind, name and flags from the
// string table; a missing text goes to the assertion reporter).
TestLine makeTestLine(const KeyMessage& message);

} // namespace quillan
