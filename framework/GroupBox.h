#pragma once

#include <QGroupBox>

// A group box drawn as the platform draws one: an etched frame over the whole rectangle whose
// top runs through the middle of the title's line, and the title on that line, 7 pixels in,
// on the face colour that interrupts the frame.
class CGroupBox : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kTitleIndent = 7;

    explicit CGroupBox(QWidget* parent = nullptr);

    // The row of the frame's top line.
    int FrameTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
