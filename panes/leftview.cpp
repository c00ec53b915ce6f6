// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/leftview.h"

#include "catalogue/artistentry.h"
#include "catalogue/casefold.h"
#include "catalogue/genreentry.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/panehost.h"
#include "panes/selectionstatus.h"
#include "panes/viewhints.h"
#include "platform/folders.h"
#include "platform/icons.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"
#include "res/strings.h"

#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// The node of the files whose tag leaves the artist blank: its name is empty, and sorts first,
// but its label says what it holds.
constexpr int UNNAMED_NODE = QTreeWidgetItem::UserType + 1;

// A node of the tree: its label, and the icon and the records it shares with its kind. A large
// catalogue has tens of thousands of them, so they keep no table of roles of their own: the
// item's table costs allocations per node, and a copy of the icon each. Only an artist's name
// can be empty.
class CTrackNode final : public QTreeWidgetItem {
public:
    CTrackNode(const QString& strName, const QIcon& icon, CTrackList* pTracks)
        : QTreeWidgetItem(strName.isEmpty() ? UNNAMED_NODE : Type),
          m_strLabel(strName.isEmpty() ? LoadQString(IDS_NO_ARTIST) : strName), m_icon(icon),
          m_pTracks(pTracks) {}

    QVariant data(int nColumn, int nRole) const override {
        if (nColumn != 0) {
            return QTreeWidgetItem::data(nColumn, nRole);
        }
        switch (nRole) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return m_strLabel;
        case Qt::DecorationRole:
            return m_icon;
        case CLeftView::ROLE_TRACKS:
            return QVariant::fromValue(static_cast<void*>(m_pTracks));
        default:
            return QTreeWidgetItem::data(nColumn, nRole);
        }
    }

private:
    const QString m_strLabel;
    const QIcon m_icon;
    CTrackList* const m_pTracks;
};

QTreeWidgetItem* MakeNode(const QString& strText, const QIcon& icon, CTrackList* pTracks) {
    return new CTrackNode(strText, icon, pTracks);
}

QList<QTreeWidgetItem*> MakeArtistNodes(const std::vector<CArtistEntry*>& arrSorted,
                                        const QIcon& iconFace) {
    QList<QTreeWidgetItem*> arrNodes;
    arrNodes.reserve(static_cast<qsizetype>(arrSorted.size()));
    for (CArtistEntry* pArtist : arrSorted) {
        arrNodes.append(MakeNode(ToQString(pArtist->GetName()), iconFace, &pArtist->m_arrTracks));
    }
    return arrNodes;
}

// Where a node of that name goes among the children of pParent, which are in the order
// SortedByName gives: after those that compare equal or less.
int PlaceAmongChildren(const QTreeWidgetItem* pParent, std::string_view strName) {
    const std::string strFolded = FoldText(strName);
    int nLow = 0;
    int nHigh = pParent->childCount();
    while (nLow < nHigh) {
        const int nMiddle = nLow + (nHigh - nLow) / 2;
        const QTreeWidgetItem* pChild = pParent->child(nMiddle);
        const std::string strChild =
            pChild->type() == UNNAMED_NODE ? std::string() : ToStdString(pChild->text(0));
        if (!IsBeforeFolded(strFolded, strName, FoldText(strChild), strChild)) {
            nLow = nMiddle + 1;
        } else {
            nHigh = nMiddle;
        }
    }
    return nLow;
}

// Adds nodes for the artists arrArtists[nFirst...], each in its place by name.
void AddArtistNodes(QTreeWidgetItem* pParent,
                    const std::vector<std::unique_ptr<CArtistEntry>>& arrArtists,
                    std::size_t nFirst, const QIcon& icon) {
    for (std::size_t i = nFirst; i < arrArtists.size(); ++i) {
        CArtistEntry* pArtist = arrArtists[i].get();
        QTreeWidgetItem* pNode =
            MakeNode(ToQString(pArtist->GetName()), icon, &pArtist->m_arrTracks);
        pParent->insertChild(PlaceAmongChildren(pParent, pArtist->GetName()), pNode);
    }
}

// A genre's artists are many nodes in all: a large catalogue has each of tens of thousands of
// artists under several genres. They are made when their genre is first opened.
QTreeWidgetItem* MakeGenreNode(const QString& strName, const QIcon& icon, CTrackList* pTracks) {
    QTreeWidgetItem* pNode = MakeNode(strName, icon, pTracks);
    pNode->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return pNode;
}

void AddGenreNodes(QTreeWidgetItem* pRoot,
                   const std::vector<std::unique_ptr<CGenreEntry>>& arrGenres, std::size_t nFirst,
                   const QIcon& icon, std::vector<QTreeWidgetItem*>* pNodes) {
    for (std::size_t i = nFirst; i < arrGenres.size(); ++i) {
        CGenreEntry* pGenre = arrGenres[i].get();
        QTreeWidgetItem* pNode =
            MakeGenreNode(ToQString(pGenre->GetName()), icon, &pGenre->m_arrTracks);
        pRoot->insertChild(PlaceAmongChildren(pRoot, pGenre->GetName()), pNode);
        pNodes->push_back(pNode);
    }
}

} // namespace

CLeftView::CLeftView(CTunebrDoc& doc, const CUserSettings& settings, CPaneHost& host,
                     QWidget* pParent)
    : QTreeWidget(pParent), m_doc(doc), m_host(host), m_nOrganisation(settings.m_nViewType) {
    setColumnCount(1);
    setHeaderHidden(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    // The tree has no menu of its own, and the window's menu of the tool bars has no business
    // opening over it from the Menu key.
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelectionChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &CLeftView::FillGenreNode);
    m_doc.AddView(this);
}

CLeftView::~CLeftView() {
    m_doc.RemoveView(this);
}

void CLeftView::OnInitialUpdate() {
    if (m_hRoot == nullptr && !m_bRebuilding) {
        RebuildAndSelectRoot();
    }
}

void CLeftView::OnUpdate(CDocView* /*pSender*/, EHint eHint, CTrackList* /*pTracks*/) {
    switch (eHint) {
    case HINT_REBUILD_BEGIN:
        ++m_nRebuilds; // a build still to come was of a catalogue that goes
        m_bBuildPending = false;
        m_nodeSize.Forget();
        m_host.StartAnimation();
        m_bRebuilding = true;
        ClearTree();
        break;
    case HINT_REBUILD_END:
        if (m_doc.GetTracks()->size() >= m_nTurnTracks) {
            BuildInTurns();
        } else {
            RebuildAndSelectRoot();
            m_host.StopAnimation();
        }
        break;
    case HINT_TRACKS_ADDED:
        AddNewGroups();
        break;
    case HINT_TRACKS_CHANGED:
        m_nodeSize.Forget();
        break;
    case HINT_BY_ARTIST:
        m_nOrganisation = CUserSettings::VIEW_BY_ARTIST;
        break;
    case HINT_BY_GENRE:
        m_nOrganisation = CUserSettings::VIEW_BY_GENRE;
        break;
    default:
        break;
    }
}

CLeftView::SRootLabel CLeftView::RootLabel(const std::string& strTitle) {
    const SMountPoint mount = FindMountPoint(strTitle);
    if (!mount.bIsMountPoint) {
        return {ToQString(strTitle), false};
    }
    const QString strPath = strTitle.empty() ? QStringLiteral("/") : ToQString(strTitle);
    if (mount.strVolumeName.isEmpty()) {
        return {strPath, true};
    }
    return {QStringLiteral("%1 (%2)").arg(mount.strVolumeName, strPath), true};
}

CTrackList* CLeftView::TracksOf(const QTreeWidgetItem* pItem) {
    return static_cast<CTrackList*>(pItem->data(0, ROLE_TRACKS).value<void*>());
}

bool CLeftView::event(QEvent* pEvent) {
    // Tab must reach the frame before the widget's own focus chain takes it; with two panes,
    // either direction leads to the other one.
    if (pEvent->type() == QEvent::KeyPress) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const bool bTab = pKey->key() == Qt::Key_Tab || pKey->key() == Qt::Key_Backtab;
        if (bTab && !(pKey->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            m_host.SwitchPane();
            pEvent->accept();
            return true;
        }
    }
    return QTreeWidget::event(pEvent);
}

void CLeftView::ClearTree() {
    m_hRoot = nullptr;
    m_arrGenreNodes.clear();
    clear();
}

// A scan files records into new groups at the end of the index's lists, and into new artists
// at the end of a genre's: the groups beyond those the tree shows get nodes of their own. The
// selected node stays selected, and its list and status follow what it holds now.
void CLeftView::AddNewGroups() {
    if (m_hRoot == nullptr) {
        return;
    }
    if (m_nOrganisation == CUserSettings::VIEW_BY_ARTIST) {
        AddArtistNodes(m_hRoot, m_doc.GetArtists(), static_cast<std::size_t>(m_hRoot->childCount()),
                       LoadIcon(EIcon::Face));
    } else if (m_nOrganisation == CUserSettings::VIEW_BY_GENRE) {
        const QIcon iconFace = LoadIcon(EIcon::Face);
        AddGenreNodes(m_hRoot, m_doc.GetGenres(), m_arrGenreNodes.size(), LoadIcon(EIcon::Clef),
                      &m_arrGenreNodes);
        // A genre not opened yet has no artist node, and gets them all when opened.
        for (std::size_t i = 0; i < m_arrGenreNodes.size(); ++i) {
            QTreeWidgetItem* pGenreNode = m_arrGenreNodes[i];
            if (pGenreNode->childCount() > 0) {
                AddArtistNodes(pGenreNode, m_doc.GetGenres()[i]->GetArtists(),
                               static_cast<std::size_t>(pGenreNode->childCount()), iconFace);
            }
        }
    }
    const QList<QTreeWidgetItem*> arrSelected = selectedItems();
    if (!arrSelected.isEmpty()) {
        ShowNodeStatus(arrSelected.first()->text(0), TracksOf(arrSelected.first()));
    }
}

void CLeftView::BuildTree() {
    const SRootLabel label = RootLabel(m_doc.GetTitle());
    auto* pRoot = MakeNode(label.strText, LoadIcon(label.bDrive ? EIcon::Drive : EIcon::Folder),
                           m_doc.GetTracks());
    // The children are attached while the root is still outside the tree, so that the view
    // takes them in as one insertion.
    if (m_nOrganisation == CUserSettings::VIEW_BY_ARTIST) {
        pRoot->addChildren(MakeArtistNodes(m_doc.GetArtistsByName(), LoadIcon(EIcon::Face)));
    } else if (m_nOrganisation == CUserSettings::VIEW_BY_GENRE) {
        const QIcon iconClef = LoadIcon(EIcon::Clef);
        QList<QTreeWidgetItem*> arrGenreNodes;
        std::unordered_map<const CGenreEntry*, QTreeWidgetItem*> mapNodes;
        for (CGenreEntry* pGenre : SortedByName(m_doc.GetGenres())) {
            QTreeWidgetItem* pGenreNode =
                MakeGenreNode(ToQString(pGenre->GetName()), iconClef, &pGenre->m_arrTracks);
            arrGenreNodes.append(pGenreNode);
            mapNodes.emplace(pGenre, pGenreNode);
        }
        pRoot->addChildren(arrGenreNodes);
        // In the index's order, which a scan adds to at the end.
        for (const std::unique_ptr<CGenreEntry>& pGenre : m_doc.GetGenres()) {
            m_arrGenreNodes.push_back(mapNodes.at(pGenre.get()));
        }
    }
    addTopLevelItem(pRoot);
    pRoot->setExpanded(true);
    m_hRoot = pRoot;
}

void CLeftView::FillGenreNode(QTreeWidgetItem* pItem) {
    const auto it = std::find(m_arrGenreNodes.begin(), m_arrGenreNodes.end(), pItem);
    if (it == m_arrGenreNodes.end()) {
        return;
    }
    // Every genre holds at least one artist, the nameless one at least: a genre with artist nodes
    // was opened before.
    if (pItem->childCount() > 0) {
        return;
    }
    const auto nGenre = static_cast<std::size_t>(it - m_arrGenreNodes.begin());
    pItem->addChildren(MakeArtistNodes(SortedByName(m_doc.GetGenres()[nGenre]->GetArtists()),
                                       LoadIcon(EIcon::Face)));
}

// The index, the tree and the list each take a large catalogue a while: each gets a turn of the
// event loop of its own, so that the window answers between them.
void CLeftView::BuildInTurns() {
    m_bBuildPending = true;
    const std::uint64_t nRebuild = m_nRebuilds;
    QTimer::singleShot(0, this, [this, nRebuild] {
        if (nRebuild != m_nRebuilds) {
            return;
        }
        ClearTree();
        BuildTree();
        QTimer::singleShot(0, this, [this, nRebuild] {
            if (nRebuild != m_nRebuilds) {
                return;
            }
            m_bBuildPending = false;
            SelectRoot();
            m_host.StopAnimation();
        });
    });
}

void CLeftView::RebuildAndSelectRoot() {
    m_bRebuilding = true;
    ClearTree();
    BuildTree();
    SelectRoot();
}

void CLeftView::SelectRoot() {
    m_bRebuilding = false;
    // Selecting the root announces its list and status through OnSelectionChanged; when the
    // selection signal was blocked, the status is given here, so that a rebuild ends with it.
    m_bStatusShown = false;
    setCurrentItem(m_hRoot, 0, QItemSelectionModel::ClearAndSelect);
    if (!m_bStatusShown) {
        ShowNodeStatus(m_hRoot->text(0), TracksOf(m_hRoot));
    }
}

void CLeftView::ShowNodeStatus(const QString& strLabel, const CTrackList* pTracks) {
    const CSelectionStatus status =
        CSelectionStatus::DescribeShown(pTracks->size(), m_nodeSize.Of(*pTracks, pTracks->size()));
    // An artist without a name has an empty label, which must replace the last node's name: a
    // null text would leave it.
    SStatusTexts texts;
    texts.strLocation = strLabel.isNull() ? QStringLiteral("") : strLabel;
    texts.strCount = ToQString(status.m_strCount);
    texts.strSize = ToQString(status.m_strSize);
    m_host.SetStatusTexts(texts);
    m_bStatusShown = true;
}

void CLeftView::OnSelectionChanged() {
    const QList<QTreeWidgetItem*> arrSelected = selectedItems();
    if (arrSelected.isEmpty() || m_bRebuilding) {
        return;
    }
    QTreeWidgetItem* pItem = arrSelected.first();
    CTrackList* pTracks = TracksOf(pItem);
    m_doc.UpdateAllViews(this, HINT_SHOW_TRACKS, pTracks);
    ShowNodeStatus(pItem->text(0), pTracks);
}
