// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QTimer>
#include <QWidget>

// A ring of dots that turns while the catalogue is being read and rests on its first frame.
// A click on it asks for the running scan to stop.
class CBusyAnimation final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBusyAnimation)

public:
    explicit CBusyAnimation(QWidget* pParent = nullptr);

    void Start();
    void Stop();
    bool IsRunning() const { return m_timer.isActive(); }
    int GetFrame() const { return m_nFrame; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;

private:
    static constexpr int FRAME_COUNT = 12;
    QTimer m_timer;
    int m_nFrame = 0;
};
