// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QObject>

class QPoint;
class QWidget;
class CBusyAnimation;

// Keeps the window painting but deaf to input while a scan runs on the GUI thread: the only
// input taken is a request to stop (Escape, or a click on the busy animation). Closing the
// window also stops the scan, and the window closes once the catalogue is whole again.
class CScanGuard final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CScanGuard)

public:
    CScanGuard(QWidget& window, CBusyAnimation& animation);
    ~CScanGuard() override;

    bool IsStopRequested() const { return m_bStopRequested; }
    bool IsCloseRequested() const { return m_bCloseRequested; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    bool IsOverAnimation(const QPoint& ptGlobal) const;

    QWidget& m_window;
    CBusyAnimation& m_animation;
    bool m_bStopRequested = false;
    bool m_bCloseRequested = false;
};
