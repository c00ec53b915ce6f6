// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/scanguard.h"

#include "shell/busyanimation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

CScanGuard::CScanGuard(QWidget& window, CBusyAnimation& animation)
    : m_window(window), m_animation(animation) {
    connect(&m_animation, &CBusyAnimation::clicked, this, [this] { m_bStopRequested = true; });
    qApp->installEventFilter(this);
}

CScanGuard::~CScanGuard() {
    qApp->removeEventFilter(this);
}

bool CScanGuard::IsOverAnimation(const QPoint& ptGlobal) const {
    return m_animation.isVisible() &&
           m_animation.rect().contains(m_animation.mapFromGlobal(ptGlobal));
}

bool CScanGuard::eventFilter(QObject* pWatched, QEvent* pEvent) {
    switch (pEvent->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Escape) {
            m_bStopRequested = true;
        }
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // The animation turns a click into a stop request; no other widget hears the mouse.
        // A click reaches the window before the widget under it, which also takes the focus:
        // it is let through only on its way to the animation.
        return !IsOverAnimation(static_cast<QMouseEvent*>(pEvent)->globalPosition().toPoint());
    case QEvent::Close:
        if (pWatched == &m_window) {
            m_bStopRequested = true;
            m_bCloseRequested = true;
            pEvent->ignore();
            return true;
        }
        return false;
    // Shortcuts and drops are not input events of their own kind, but act like them.
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return pEvent->isInputEvent();
    }
}
