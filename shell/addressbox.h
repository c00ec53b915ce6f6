// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "platform/detachedcall.h"

#include <QComboBox>

class QStringListModel;

#include <string>
#include <vector>

// The address box: an editable history of folders, newest on top. Enter in its field and a pick
// from its list are two different requests, so Qt's own handling of Enter (which would add items
// or report a pick) is kept out.
class CAddressBox final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAddressBox)

public:
    // Items of mount points carry true under this role, and show the drive icon.
    static constexpr int ROLE_DRIVE = Qt::UserRole;
    // The folder's path as the system's bytes: the text shown may not give them back.
    static constexpr int ROLE_PATH = Qt::UserRole + 1;

    explicit CAddressBox(QWidget* pParent = nullptr);

    // Finds the path (exactly, whole) or inserts it on top, selects it; "" is the root.
    void AddAddress(const std::string& strPath);

    // The history's paths, newest first.
    std::vector<std::string> GetAddresses() const;
    // The path a text of the field stands for: the item showing that text, else the text's own
    // bytes.
    std::string PathOfText(const QString& strText) const;

Q_SIGNALS:
    // Enter in the edit field, with the text as typed.
    void addressEntered(const QString& strText);
    // An item picked from the drop-down list.
    void addressSelected(const QByteArray& strPath);
    // The folder names offered to complete the text typed have changed.
    void completionsChanged();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    void ListFoldersBeside(const QString& strText);

    QStringListModel* m_pFolderNames;
    // The folder whose sub-folders complete the text, as typed up to its last slash.
    QString m_strListed;
    CDetachedCalls m_listings{*this};
};
