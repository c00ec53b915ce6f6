// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The program in French. The language is read once per process, so this program runs on its own
// with LANG=fr_FR.UTF-8 (see CMakeLists.txt): the window's texts from the string table come out
// in French, the menus stay English.
#include "actions/mp3propertysheet.h"
#include "actions/tagundohistory.h"
#include "panes/leftview.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/mainframe.h"
#include "shell/optionsheet.h"
#include "shell/statuspanes.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The markers a text is filled in through: printf conversions and QString::arg places.
QStringList Markers(const char* pszText) {
    static const QRegularExpression s_marker(QStringLiteral("%(?:[-+0-9.]*[a-z]|[0-9]+)"));
    QStringList arrMarkers;
    for (const QRegularExpressionMatch& match : s_marker.globalMatch(QString::fromUtf8(pszText))) {
        arrMarkers.append(match.captured());
    }
    arrMarkers.sort();
    return arrMarkers;
}

} // namespace

TEST(StringTable, EveryTextHasBothLanguagesWithTheSameMarkers) {
    const std::vector<unsigned> arrIds = StringIds();
    ASSERT_GT(arrIds.size(), 50u);
    EXPECT_TRUE(std::is_sorted(arrIds.begin(), arrIds.end()));
    for (const unsigned nId : arrIds) {
        const char* pszEnglish = LoadString(nId, ELanguage::English);
        const char* pszFrench = LoadString(nId, ELanguage::French);
        EXPECT_STRNE(pszEnglish, "") << nId;
        EXPECT_STRNE(pszFrench, "") << nId;
        // A French text without the English one's %1 or %d would show the marker, or lose the
        // number, only to French users.
        EXPECT_EQ(Markers(pszFrench), Markers(pszEnglish)) << nId << ": " << pszFrench;
        // Texts we added have no reason to read the same in both languages.
        if (nId >= IDS_PLAYLIST_FAILED && nId < ID_PLAY) {
            EXPECT_STRNE(pszFrench, pszEnglish) << nId;
        }
    }
    EXPECT_EQ(Markers("%5.1f MB and %1 of %d, 100%"), QStringList({"%1", "%5.1f", "%d"}));
}

TEST(French, TheWindowSpeaksFrenchWhereTheStringTableDoes) {
    ASSERT_EQ(UserLanguage(), ELanguage::French) << "run this program with LANG=fr_FR.UTF-8";
    CTempDir library;
    WriteBytes(library.Path() / "a.mp3", Audio(1000) + MakeTag("Un", "Zoé"));
    WriteBytes(library.Path() / "b.mp3", Audio(2000) + MakeTag("Deux", "Zoé"));
    WriteBytes(library.Path() / "Sous" / "c.mp3", Audio(3000) + MakeTag("Trois", "Adam"));
    CSettingsStore store;
    store.WriteString(CUserSettings::SECTION_MP3, "FilePath", library.Str());
    CUserSettings settings;
    settings.LoadSettings(store);

    CMainFrame frame(settings, store);
    frame.show();
    frame.StartUp(nullptr);
    EXPECT_EQ(frame.GetStatusPanes()->GetPaneText(3), QStringLiteral("3 morceau(x)"));
    const QAbstractItemModel* pModel = frame.GetRightPane()->GetDetailsView()->model();
    EXPECT_EQ(pModel->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Fichier"));
    EXPECT_EQ(pModel->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Album"));
    EXPECT_EQ(pModel->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Taille"));
    EXPECT_EQ(frame.GetAction(ID_PLAY)->toolTip(), QStringLiteral("Jouer"));
    EXPECT_EQ(frame.GetAction(ID_PLAY)->statusTip(), QStringLiteral("Joue le morceau"));
    EXPECT_EQ(frame.GetLeftPane()->accessibleName(), QStringLiteral("Arborescence du dossier"));
    // Menu captions are English in every language.
    EXPECT_EQ(frame.GetAction(ID_PLAY)->text(), QStringLiteral("&Play"));
}

TEST(French, TheTagEditorRefusesAnOverlongFieldInFrench) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    CMp3PropertySheet sheet;
    sheet.GetPage().m_strTitle = std::string(31, 'x');
    sheet.GetPage().LoadFields();
    sheet.show();
    QString strMessage;
    QTimer::singleShot(0, [&strMessage] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            strMessage = pBox->text();
            pBox->accept();
        }
    });
    sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(strMessage, QStringLiteral("Tapez 30 caractères au maximum."));
    EXPECT_TRUE(sheet.isVisible()) << "OK must be refused";
}

TEST(French, TheUndoCommandAndTheAutomaticEncodingSpeakFrench) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    CTagUndoHistory history;
    EXPECT_EQ(UndoCommandText(history), QStringLiteral("&Annuler"));
    history.Push(std::vector<STagUndo>(2));
    EXPECT_EQ(UndoCommandText(history),
              QStringLiteral("&Annuler la modification d'étiquette de 2 morceaux"));
    COptionSheet sheet;
    EXPECT_EQ(sheet.GetPage().m_pEncoding->itemText(0), QStringLiteral("Automatique"));
    EXPECT_EQ(sheet.GetPage().m_pEncoding->itemData(0).toString(), QStringLiteral("Automatic"));
}
