// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QComboBox>

// The address box: an editable history of folders, newest on top. Enter in its field and a pick
// from its list are two different requests, so Qt's own handling of Enter (which would add items
// or report a pick) is kept out.
class CAddressBox final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAddressBox)

public:
    // Items of mount points carry true under this role, and show the drive icon.
    static constexpr int ROLE_DRIVE = Qt::UserRole;

    explicit CAddressBox(QWidget* pParent = nullptr);

    // Normalises the path, finds it (exactly, whole) or inserts it on top, selects it.
    void AddAddress(QString strPath);

    QStringList GetAddresses() const;

signals:
    // Enter in the edit field, with the text as typed.
    void addressEntered(const QString& strText);
    // An item picked from the drop-down list.
    void addressSelected(const QString& strText);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
};
