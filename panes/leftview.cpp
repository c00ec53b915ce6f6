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
// catalogue has tens of thousands of them, so they keep no per-node copies of the icon or of the
// records' address in the item's table of roles. Only an artist's name can be empty.
class CTrackNode final : public QTreeWidgetItem {
public:
    CTrackNode(const QString& strName, const QIcon& icon, CTrackList* pTracks)
        : QTreeWidgetItem(strName.isEmpty() ? UNNAMED_NODE : Type), m_icon(icon),
          m_pTracks(pTracks) {
        setText(0, strName.isEmpty() ? LoadQString(IDS_NO_ARTIST) : strName);
    }

    QVariant data(int nColumn, int nRole) const override {
        if (nColumn == 0 && nRole == Qt::DecorationRole) {
            return m_icon;
        }
        if (nColumn == 0 && nRole == CLeftView::ROLE_TRACKS) {
            return QVariant::fromValue(static_cast<void*>(m_pTracks));
        }
        return QTreeWidgetItem::data(nColumn, nRole);
    }

private:
    const QIcon m_icon;
    CTrackList* const m_pTracks;
};

QTreeWidgetItem* MakeNode(const QString& strText, const QIcon& icon, CTrackList* pTracks) {
    return new CTrackNode(strText, icon, pTracks);
}

template <typename TEntry> struct SNamedEntry {
    QString strName;
    std::string strFolded; // the name with letter case folded: case-insensitive order is its order
    TEntry* pEntry;
};

// The case-insensitive order of the catalogue's own folding (the filter's and the file
// pattern's), ties broken by the exact name.
bool IsBefore(std::string_view strFolded1, std::string_view strName1, std::string_view strFolded2,
              std::string_view strName2) {
    const int nOrder = strFolded1.compare(strFolded2);
    return nOrder != 0 ? nOrder < 0 : strName1 < strName2;
}

// Siblings go in a case-insensitive order of their names, ties broken by the exact name so that
// the order never depends on the index's. Each name is converted and folded once, not at every
// comparison, and the whole set is sorted once: a catalogue may hold tens of thousands of artists.
template <typename TEntry>
std::vector<SNamedEntry<TEntry>>
SortedByName(const std::vector<std::unique_ptr<TEntry>>& arrEntries) {
    std::vector<SNamedEntry<TEntry>> arrNamed;
    arrNamed.reserve(arrEntries.size());
    for (const std::unique_ptr<TEntry>& pEntry : arrEntries) {
        arrNamed.push_back(
            {ToQString(pEntry->GetName()), FoldText(pEntry->GetName()), pEntry.get()});
    }
    std::sort(arrNamed.begin(), arrNamed.end(),
              [](const SNamedEntry<TEntry>& a, const SNamedEntry<TEntry>& b) {
                  return IsBefore(a.strFolded, a.pEntry->GetName(), b.strFolded,
                                  b.pEntry->GetName());
              });
    return arrNamed;
}

QList<QTreeWidgetItem*> MakeArtistNodes(const std::vector<SNamedEntry<CArtistEntry>>& arrSorted,
                                        const QIcon& iconFace) {
    QList<QTreeWidgetItem*> arrNodes;
    arrNodes.reserve(static_cast<qsizetype>(arrSorted.size()));
    for (const SNamedEntry<CArtistEntry>& artist : arrSorted) {
        arrNodes.append(MakeNode(artist.strName, iconFace, &artist.pEntry->m_arrTracks));
    }
    return arrNodes;
}

// The artists of the whole catalogue in name order, each with its rank and label: a genre tree
// shows the same artists again under many genres, whose names are then converted and compared
// once rather than once per genre.
struct SArtistLabel {
    std::size_t nRank;
    QString strName;
};
using CArtistLabels = std::unordered_map<std::string_view, SArtistLabel>;

CArtistLabels LabelArtists(const std::vector<std::unique_ptr<CArtistEntry>>& arrArtists) {
    CArtistLabels mapLabels;
    mapLabels.reserve(arrArtists.size());
    std::size_t nRank = 0;
    for (const SNamedEntry<CArtistEntry>& artist : SortedByName(arrArtists)) {
        mapLabels.emplace(artist.pEntry->GetName(), SArtistLabel{nRank++, artist.strName});
    }
    return mapLabels;
}

// A genre's artist nodes in the order MakeArtistNodes gives, through the catalogue's labels.
QList<QTreeWidgetItem*>
MakeArtistNodes(const std::vector<std::unique_ptr<CArtistEntry>>& arrArtists,
                const CArtistLabels& mapLabels, const QIcon& iconFace) {
    std::vector<std::pair<const SArtistLabel*, CArtistEntry*>> arrLabelled;
    arrLabelled.reserve(arrArtists.size());
    for (const std::unique_ptr<CArtistEntry>& pArtist : arrArtists) {
        const auto it = mapLabels.find(pArtist->GetName());
        if (it == mapLabels.end()) {
            // Not from this catalogue's index.
            return MakeArtistNodes(SortedByName(arrArtists), iconFace);
        }
        arrLabelled.emplace_back(&it->second, pArtist.get());
    }
    std::sort(arrLabelled.begin(), arrLabelled.end(),
              [](const auto& a, const auto& b) { return a.first->nRank < b.first->nRank; });
    QList<QTreeWidgetItem*> arrNodes;
    arrNodes.reserve(static_cast<qsizetype>(arrLabelled.size()));
    for (const auto& [pLabel, pArtist] : arrLabelled) {
        arrNodes.append(MakeNode(pLabel->strName, iconFace, &pArtist->m_arrTracks));
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
        if (!IsBefore(strFolded, strName, FoldText(strChild), strChild)) {
            nLow = nMiddle + 1;
        } else {
            nHigh = nMiddle;
        }
    }
    return nLow;
}

// Adds nodes for the groups arrEntries[nFirst...], each in its place by name.
template <typename TEntry>
void AddChildNodes(QTreeWidgetItem* pParent, const std::vector<std::unique_ptr<TEntry>>& arrEntries,
                   std::size_t nFirst, const QIcon& icon, std::vector<QTreeWidgetItem*>* pNodes) {
    for (std::size_t i = nFirst; i < arrEntries.size(); ++i) {
        TEntry* pEntry = arrEntries[i].get();
        const QString strName = ToQString(pEntry->GetName());
        QTreeWidgetItem* pNode = MakeNode(strName, icon, &pEntry->m_arrTracks);
        pParent->insertChild(PlaceAmongChildren(pParent, pEntry->GetName()), pNode);
        if (pNodes != nullptr) {
            pNodes->push_back(pNode);
        }
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
        m_host.StartAnimation();
        m_bRebuilding = true;
        ClearTree();
        break;
    case HINT_REBUILD_END:
        RebuildAndSelectRoot();
        m_host.StopAnimation();
        break;
    case HINT_TRACKS_ADDED:
        AddNewGroups();
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
        AddChildNodes(m_hRoot, m_doc.GetArtists(), static_cast<std::size_t>(m_hRoot->childCount()),
                      LoadIcon(EIcon::Face), nullptr);
    } else if (m_nOrganisation == CUserSettings::VIEW_BY_GENRE) {
        const QIcon iconFace = LoadIcon(EIcon::Face);
        AddChildNodes(m_hRoot, m_doc.GetGenres(), m_arrGenreNodes.size(), LoadIcon(EIcon::Clef),
                      &m_arrGenreNodes);
        for (std::size_t i = 0; i < m_arrGenreNodes.size(); ++i) {
            QTreeWidgetItem* pGenreNode = m_arrGenreNodes[i];
            AddChildNodes(pGenreNode, m_doc.GetGenres()[i]->m_arrArtists,
                          static_cast<std::size_t>(pGenreNode->childCount()), iconFace, nullptr);
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
        const auto arrArtists = SortedByName(m_doc.GetArtists());
        pRoot->addChildren(MakeArtistNodes(arrArtists, LoadIcon(EIcon::Face)));
    } else if (m_nOrganisation == CUserSettings::VIEW_BY_GENRE) {
        const QIcon iconClef = LoadIcon(EIcon::Clef);
        const QIcon iconFace = LoadIcon(EIcon::Face);
        const CArtistLabels mapLabels = LabelArtists(m_doc.GetArtists());
        QList<QTreeWidgetItem*> arrGenreNodes;
        std::unordered_map<const CGenreEntry*, QTreeWidgetItem*> mapNodes;
        for (const SNamedEntry<CGenreEntry>& genre : SortedByName(m_doc.GetGenres())) {
            QTreeWidgetItem* pGenreNode =
                MakeNode(genre.strName, iconClef, &genre.pEntry->m_arrTracks);
            pGenreNode->addChildren(
                MakeArtistNodes(genre.pEntry->m_arrArtists, mapLabels, iconFace));
            arrGenreNodes.append(pGenreNode);
            mapNodes.emplace(genre.pEntry, pGenreNode);
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

void CLeftView::RebuildAndSelectRoot() {
    m_bRebuilding = true;
    ClearTree();
    BuildTree();
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
    const CSelectionStatus status = CSelectionStatus::DescribeShown(*pTracks);
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
