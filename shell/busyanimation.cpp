// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/busyanimation.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

CBusyAnimation::CBusyAnimation(QWidget* pParent) : QWidget(pParent) {
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_nFrame = (m_nFrame + 1) % FRAME_COUNT;
        update();
    });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CBusyAnimation::Start() {
    m_nFrame = 0;
    m_timer.start();
    update();
}

void CBusyAnimation::Stop() {
    m_timer.stop();
    m_nFrame = 0;
    update();
}

QSize CBusyAnimation::sizeHint() const {
    return {24, 24};
}

void CBusyAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal rSide = qMin(width(), height());
    const qreal rRadius = rSide * 0.36;
    const qreal rDot = rSide * 0.09;
    painter.translate(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(QPalette::WindowText);
    for (int i = 0; i < FRAME_COUNT; ++i) {
        // The dot of the current frame is darkest; the ones behind it fade out.
        const int nAge = (m_nFrame - i + FRAME_COUNT) % FRAME_COUNT;
        colour.setAlphaF(IsRunning() ? 1.0 - nAge * 0.07 : 0.35);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        const qreal rAngle = 2 * M_PI * i / FRAME_COUNT - M_PI / 2;
        painter.drawEllipse(QPointF(rRadius * qCos(rAngle), rRadius * qSin(rAngle)), rDot, rDot);
    }
}

void CBusyAnimation::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        Q_EMIT clicked();
    }
    QWidget::mousePressEvent(pEvent);
}
