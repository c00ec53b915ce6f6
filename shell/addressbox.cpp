// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/addressbox.h"

#include "platform/folders.h"
#include "platform/icons.h"

#include <QCompleter>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>

CAddressBox::CAddressBox(QWidget* pParent)
    : QComboBox(pParent), m_pFolderNames(new QStringListModel(this)) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMinimumContentsLength(20);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lineEdit()->installEventFilter(this);
    installEventFilter(this);

    // Folder names complete as they are typed. They are listed off the window's thread, as a
    // share that stopped answering would hold any look at it (a file-system model waits for its
    // own thread even when it is destroyed, so the window could not even close).
    auto* pCompleter = new QCompleter(m_pFolderNames, this);
    // Inline: a completion list would take the Enter meant for opening the folder.
    pCompleter->setCompletionMode(QCompleter::InlineCompletion);
    setCompleter(pCompleter);
    connect(lineEdit(), &QLineEdit::textEdited, this, &CAddressBox::ListFoldersBeside);

    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int nIndex) {
        Q_EMIT addressSelected(itemData(nIndex, ROLE_PATH).toByteArray());
    });
}

void CAddressBox::ListFoldersBeside(const QString& strText) {
    const QString strFolder = strText.left(strText.lastIndexOf(QLatin1Char('/')) + 1);
    if (strFolder.isEmpty() || strFolder == m_strListed) {
        return;
    }
    m_strListed = strFolder;
    m_listings.Run<QStringList>(
        [strFolder] {
            QStringList arrPaths;
            const QDir folder(strFolder);
            for (const QString& strName :
                 folder.entryList(QDir::AllDirs | QDir::NoDotAndDotDot, QDir::Name)) {
                arrPaths.append(strFolder + strName);
            }
            return arrPaths;
        },
        [this](QStringList arrPaths) {
            m_pFolderNames->setStringList(arrPaths);
            Q_EMIT completionsChanged();
        });
}

void CAddressBox::AddAddress(const std::string& strPath) {
    // The whole path: a shortened one names a folder that does not exist. Exact: on Linux
    // "music" and "Music" are two folders.
    const QByteArray path = QByteArray::fromStdString(strPath);
    int nIndex = findData(path, ROLE_PATH, Qt::MatchExactly);
    if (nIndex < 0) {
        // The root shows as "/"; mount points show as drives.
        const bool bDrive = FindMountPoint(strPath).bIsMountPoint;
        insertItem(0, LoadIcon(bDrive ? EIcon::Drive : EIcon::Folder),
                   strPath.empty() ? QStringLiteral("/") : DisplayPath(strPath), bDrive);
        setItemData(0, path, ROLE_PATH);
        nIndex = 0;
    }
    setCurrentIndex(nIndex);
}

std::vector<std::string> CAddressBox::GetAddresses() const {
    std::vector<std::string> arrAddresses;
    for (int i = 0; i < count(); ++i) {
        arrAddresses.push_back(itemData(i, ROLE_PATH).toByteArray().toStdString());
    }
    return arrAddresses;
}

std::string CAddressBox::PathOfText(const QString& strText) const {
    const int nIndex = findText(strText, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (nIndex >= 0) {
        return itemData(nIndex, ROLE_PATH).toByteArray().toStdString();
    }
    return PathOfDisplay(strText);
}

bool CAddressBox::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() != QEvent::KeyPress || (pWatched != lineEdit() && pWatched != this)) {
        return QComboBox::eventFilter(pWatched, pEvent);
    }
    const auto* pKey = static_cast<QKeyEvent*>(pEvent);
    switch (pKey->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT addressEntered(lineEdit()->text());
        return true;
    case Qt::Key_Escape:
        // Back to the selected item's text.
        lineEdit()->setText(itemText(currentIndex()));
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Stepping through the history would start a scan at every step: open the list instead.
        if (!(pKey->modifiers() & Qt::ControlModifier)) {
            showPopup();
            return true;
        }
        break;
    default:
        break;
    }
    return QComboBox::eventFilter(pWatched, pEvent);
}

void CAddressBox::wheelEvent(QWheelEvent* pEvent) {
    // The wheel would pick items, and so start scans, as the pointer passes over the box.
    pEvent->ignore();
}
