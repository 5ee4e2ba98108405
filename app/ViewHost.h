#pragma once

#include <QWidget>

// The main window's central slot: holds the form at its own fixed size and asks the frame for
// exactly that size, yet lets the frame squeeze it while a toolbar is dragged over a dock
// side, so the side can take the toolbar (the frame then grows to fit both).
class CViewHost : public QWidget {
    Q_OBJECT
public:
    explicit CViewHost(QWidget* view, QWidget* parent = nullptr);

    QWidget* View() const { return m_pView; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;

private:
    QWidget* m_pView;
};
