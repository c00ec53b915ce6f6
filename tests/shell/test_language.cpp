// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The program in French. The language is read once per process, so this program runs on its own
// with LANG=fr_FR.UTF-8 (see CMakeLists.txt): the window's texts from the string table and those
// of Qt's translation files come out in French.
#include "actions/mp3propertysheet.h"
#include "actions/nameformatdialog.h"
#include "actions/tagundohistory.h"
#include "catalogue/genres.h"
#include "catalogue/posixio.h"
#include "catalogue/tagcodec.h"
#include "catalogue/trackinfo.h"
#include "panes/leftview.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/aboutdlg.h"
#include "shell/mainframe.h"
#include "shell/optionsheet.h"
#include "shell/statuspanes.h"
#include "shell/translations.h"
#include "tests/support/fakes.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

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

// Every text a user may meet in the widget and its menus, in a fixed order: built twice from the
// same code, two windows give lists that match item by item.
QStringList VisibleTexts(const QWidget& root) {
    QStringList arrTexts{root.windowTitle()};
    const auto addAction = [&arrTexts](const QAction* pAction) {
        arrTexts << pAction->text() << pAction->iconText() << pAction->toolTip()
                 << pAction->statusTip();
    };
    const std::function<void(const QMenu*)> addMenu = [&](const QMenu* pMenu) {
        arrTexts << pMenu->title();
        for (const QAction* pAction : pMenu->actions()) {
            addAction(pAction);
            if (pAction->menu() != nullptr) {
                addMenu(pAction->menu());
            }
        }
    };
    for (const QWidget* pWidget : root.findChildren<QWidget*>()) {
        arrTexts << pWidget->accessibleName() << pWidget->toolTip() << pWidget->windowTitle();
        if (const auto* pLabel = qobject_cast<const QLabel*>(pWidget)) {
            arrTexts << pLabel->text();
        } else if (const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget)) {
            arrTexts << pButton->text();
        } else if (const auto* pGroup = qobject_cast<const QGroupBox*>(pWidget)) {
            arrTexts << pGroup->title();
        } else if (const auto* pTabs = qobject_cast<const QTabWidget*>(pWidget)) {
            for (int i = 0; i < pTabs->count(); ++i) {
                arrTexts << pTabs->tabText(i);
            }
        } else if (const auto* pMenuBar = qobject_cast<const QMenuBar*>(pWidget)) {
            for (const QAction* pAction : pMenuBar->actions()) {
                addMenu(pAction->menu());
            }
        }
    }
    for (const QAction* pAction : root.actions()) {
        addAction(pAction);
    }
    return arrTexts;
}

// A caption as it reads: no mnemonic marker, no padding, no closing colon.
QString Caption(QString strText) {
    strText.remove(QLatin1Char('&'));
    strText = strText.trimmed();
    while (strText.endsWith(QLatin1Char(':'))) {
        strText.chop(1);
        strText = strText.trimmed();
    }
    return strText;
}

// Texts the same in both languages, and the string table's French (already French in both
// builds, since this process reads the table in French), its markers filled in or not.
bool SameInBothLanguages(const QString& strText) {
    static const QStringList s_arrNeutral = {
        QStringLiteral("Tunebrowse"), QStringLiteral("Album"), QStringLiteral("Genre"),
        QStringLiteral("?"),          QStringLiteral("OK"),    QStringLiteral("Options"),
        QStringLiteral("Prop.")};
    const QString strCaption = Caption(strText);
    if (strCaption.isEmpty() || s_arrNeutral.contains(strCaption) ||
        strText.contains(QLatin1Char('/')) || strText.startsWith(QLatin1String("Tunebrowse - "))) {
        return true;
    }
    for (const unsigned nId : StringIds()) {
        const QString strFrench = QString::fromUtf8(LoadString(nId, ELanguage::French));
        QStringList arrParts = strFrench.split(QLatin1Char('\n'));
        arrParts << strFrench;
        for (const QString& strPart : arrParts) {
            static const QRegularExpression s_marker(
                QStringLiteral("\\\\?%(?:[-+0-9.\\\\]*[a-z]|[0-9]+)"));
            QString strPattern = QRegularExpression::escape(Caption(strPart));
            // A part that is a marker alone ("%1") would match anything.
            if (QString(strPattern)
                    .remove(s_marker)
                    .count(QRegularExpression(QStringLiteral("\\w"))) < 2) {
                continue;
            }
            strPattern.replace(s_marker, QStringLiteral(".*"));
            if (QRegularExpression(QRegularExpression::anchoredPattern(strPattern))
                    .match(strCaption)
                    .hasMatch()) {
                return true;
            }
        }
    }
    return false;
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

    const CTranslations translations(ELanguage::French);
    CMainFrame frame(settings, store);
    frame.show();
    frame.StartUp(nullptr);
    EXPECT_TRUE(WaitForFolder(frame));
    EXPECT_EQ(frame.GetStatusPanes()->GetPaneText(3), QStringLiteral("3 morceau(x)"));
    const QAbstractItemModel* pModel = frame.GetRightPane()->GetDetailsView()->model();
    EXPECT_EQ(pModel->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Fichier"));
    EXPECT_EQ(pModel->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Album"));
    EXPECT_EQ(pModel->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Taille"));
    EXPECT_EQ(frame.GetAction(ID_PLAY)->toolTip(), QStringLiteral("Jouer"));
    EXPECT_EQ(frame.GetAction(ID_PLAY)->statusTip(), QStringLiteral("Joue le morceau"));
    EXPECT_EQ(frame.GetLeftPane()->accessibleName(), QStringLiteral("Arborescence du dossier"));
    EXPECT_EQ(frame.GetAction(ID_PLAY)->text(), QStringLiteral("&Jouer"));
}

TEST(French, TheTagEditorRefusesInFrenchNamingTheFields) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    const CTranslations translations(ELanguage::French);
    const struct {
        const char* pszCase;
        std::string strTitle, strComment; // shown
        const char* pszTrack;             // typed
        QString strMessage;
    } aCases[] = {
        {"title too long", std::string(31, 'x'), "", "",
         QStringLiteral("Titre : Tapez 30 caractères au maximum.")},
        {"track beside a 30-byte comment", "", std::string(30, 'c'), "5",
         QStringLiteral("Un numéro de piste occupe les deux derniers octets du commentaire, et ce "
                        "commentaire en a besoin. Raccourcissez le champ Commentaire à 28 octets, "
                        "ou laissez le champ Piste vide.")},
    };
    for (const auto& c : aCases) {
        CRecordingMessages messages;
        CScriptedModals modals;
        CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
        sheet.GetPage().m_strTitle = c.strTitle;
        sheet.GetPage().m_strComment = c.strComment;
        sheet.GetPage().LoadFields();
        sheet.show();
        sheet.GetPage().GetEdit(ETagField::Track)->setText(QString::fromUtf8(c.pszTrack));
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        EXPECT_EQ(messages.m_arrTexts, QStringList{c.strMessage}) << c.pszCase;
        EXPECT_TRUE(sheet.isVisible()) << c.pszCase << ": OK must be refused";
    }
}

// The preview of tags from names says in French why a file is left alone, the fields by their
// columns' names.
TEST(French, TheNamesPreviewSaysWhyInFrench) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    const CTranslations translations(ELanguage::French);
    CTrackInfo wide("/m", "02 - A - " + std::string(31, 'x') + ".mp3");
    CTrackInfo notrack("/m", "300 - A - B.mp3");
    CTrackInfo unmatched("/m", "badname.mp3");
    const CTagCodec codec;
    CNameFormatDialog dialog(nullptr, CNameFormatDialog::EMode::TagsFromNames,
                             {&wide, &notrack, &unmatched}, codec, SystemFileOps(), "%n - %a - %t");
    const QString strRefused = QStringLiteral("\u2716 ");
    const QStringList arrExpected = {
        strRefused + QStringLiteral("une valeur est refusée : Titre : 31 octets en Automatique, "
                                    "au-delà des 30 du champ"),
        strRefused + QStringLiteral("une valeur est refusée : Piste : « 300 » n'est pas un "
                                    "nombre de 1 à 255"),
        strRefused + QStringLiteral("le nom ne suit pas le format"),
    };
    QStringList arrWhy;
    for (int nRow = 0; nRow < dialog.GetPreview()->rowCount(); ++nRow) {
        arrWhy << dialog.GetPreview()->item(nRow, CNameFormatDialog::COL_WHY)->text();
    }
    EXPECT_EQ(arrWhy, arrExpected);
}

// After a full disk, or a run the user stopped, some files hold the edit: the French text must not
// say that nothing was saved, nor call a stop a failure.
TEST(French, AnInterruptedWriteNamesWhatWasWrittenAndWhatWasNot) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    const CTranslations translations(ELanguage::French);
    CTrackInfo first("/m", "first.mp3");
    CTrackInfo full("/m", "full.mp3");
    CTrackInfo last("/m", "last.mp3");
    STagWriteOutcome failed;
    failed.m_arrWritten = {&first};
    failed.m_error.emplace(full.GetFullPath(), ENOSPC);
    failed.m_arrNotTried = {&last};
    STagWriteOutcome cancelled;
    cancelled.m_arrWritten = {&first};
    cancelled.m_arrCancelled = {&full, &last};
    const struct {
        const char* pszCase;
        const STagWriteOutcome& outcome;
        QString strExpected;
    } aCases[] = {
        {"full disk", failed,
         QStringLiteral("Impossible de créer ou modifier l'étiquette ID3 !\n\n"
                        "Non écrits, 2 fichier(s) :\n/m/full.mp3 (") +
             QString::fromUtf8(std::strerror(ENOSPC)) +
             QStringLiteral(")\n/m/last.mp3 (pas essayé après cette erreur)\n\n"
                            "Écrits, 1 fichier(s) :\n/m/first.mp3")},
        {"cancelled", cancelled,
         QStringLiteral("La modification a été arrêtée avant que tous les fichiers soient "
                        "écrits.\n\nNon écrits, 2 fichier(s) :\n/m/full.mp3 (annulé)\n"
                        "/m/last.mp3 (annulé)\n\nÉcrits, 1 fichier(s) :\n/m/first.mp3")},
    };
    for (const auto& c : aCases) {
        CRecordingMessages messages;
        ReportTagWrites(nullptr, messages, c.outcome);
        EXPECT_EQ(messages.m_arrTexts, QStringList{c.strExpected}) << c.pszCase;
    }
}

// A screen reader reads the genre box's empty entry in French too, chosen or not.
TEST(French, TheGenreBoxSaysUnchangedInFrench) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    sheet.GetPage().m_nGenre = GENRE_NONE;
    sheet.GetPage().LoadFields();
    sheet.show();
    QComboBox* pGenre = sheet.GetPage().GetGenreBox();
    QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pGenre);
    ASSERT_NE(pInterface, nullptr);
    EXPECT_EQ(pGenre->currentIndex(), -1);
    EXPECT_EQ(pInterface->text(QAccessible::Value), QStringLiteral("(inchangé)"));
    pGenre->setCurrentIndex(pGenre->findData(GENRE_NONE));
    EXPECT_EQ(pInterface->text(QAccessible::Name), QStringLiteral("(inchangé)"));
}

TEST(French, TheUndoCommandAndTheAutomaticEncodingSpeakFrench) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    CTagUndoHistory history;
    EXPECT_EQ(UndoCommandText(history), QStringLiteral("&Annuler"));
    history.Push(std::vector<STagUndo>(2));
    EXPECT_EQ(UndoCommandText(history),
              QStringLiteral("&Annuler la modification d'étiquette de 2 morceaux"));
    CRecordingMessages messages;
    COptionSheet sheet(messages);
    EXPECT_EQ(sheet.GetPage().m_pEncoding->itemText(0), QStringLiteral("Automatique"));
    EXPECT_EQ(sheet.GetPage().m_pEncoding->itemData(0).toString(), QStringLiteral("Automatic"));
}

// A text of ours or of Qt's left out of the translation reads the same in a build without the
// translation files and in one with them.
TEST(French, NoTextOfTheWindowItsMenusOrItsDialogsIsLeftInEnglish) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    CTempDir library;
    WriteBytes(library.Path() / "a.mp3", Audio(1000) + MakeTag("Un", "Zoé"));
    CSettingsStore store;
    store.WriteString(CUserSettings::SECTION_MP3, "FilePath", library.Str());
    CUserSettings settings;
    settings.LoadSettings(store);
    CRecordingMessages messages;
    CScriptedModals modals;
    const struct {
        const char* pszName;
        std::function<std::unique_ptr<QWidget>()> make;
    } aWindows[] = {
        {"main window",
         [&] {
             auto pFrame = std::make_unique<CMainFrame>(settings, store);
             pFrame->StartUp(nullptr);
             EXPECT_TRUE(WaitForFolder(*pFrame));
             return std::unique_ptr<QWidget>(std::move(pFrame));
         }},
        {"options", [&messages] { return std::make_unique<COptionSheet>(messages); }},
        {"tag editor",
         [&messages, &modals] {
             return std::make_unique<CMp3PropertySheet>(nullptr, CTagCodec(), messages, modals);
         }},
        {"about", [] { return std::make_unique<CAboutDlg>([](const std::string&) {}); }},
        {"folder chooser",
         [] {
             auto pChooser = std::make_unique<QFileDialog>();
             pChooser->setOption(QFileDialog::DontUseNativeDialog);
             pChooser->setFileMode(QFileDialog::Directory);
             pChooser->setOption(QFileDialog::ShowDirsOnly);
             return std::unique_ptr<QWidget>(std::move(pChooser));
         }},
    };
    for (const auto& window : aWindows) {
        const QStringList arrEnglish = VisibleTexts(*window.make());
        const CTranslations translations(ELanguage::French);
        ASSERT_EQ(translations.GetCount(), 2u) << "our .qm and Qt's qtbase_fr.qm";
        const QStringList arrFrench = VisibleTexts(*window.make());
        ASSERT_EQ(arrFrench.size(), arrEnglish.size()) << window.pszName;
        QStringList arrLeft;
        for (qsizetype i = 0; i < arrFrench.size(); ++i) {
            if (arrFrench[i] == arrEnglish[i] && !SameInBothLanguages(arrFrench[i])) {
                arrLeft << arrFrench[i];
            }
        }
        arrLeft.removeDuplicates();
        EXPECT_TRUE(arrLeft.isEmpty())
            << window.pszName << ": " << arrLeft.join(QStringLiteral(" | ")).toStdString();
    }
    // The check itself: an English text is caught, a filled-in French one is not.
    EXPECT_FALSE(SameInBothLanguages(QStringLiteral("&File")));
    EXPECT_FALSE(SameInBothLanguages(QStringLiteral("3 files selected")));
    EXPECT_TRUE(SameInBothLanguages(QStringLiteral("3 morceaux sélectionnés")));
}

namespace {

// The key of a menu text: the character after a lone '&', in lower case; none without.
QChar MenuKey(const QString& strText) {
    for (qsizetype i = 0; i + 1 < strText.size(); ++i) {
        if (strText[i] == QLatin1Char('&')) {
            if (strText[i + 1] != QLatin1Char('&')) {
                return strText[i + 1].toLower();
            }
            ++i;
        }
    }
    return {};
}

// Every key of a menu must be typed on any keyboard (no accented letter: "É" needs a dead key or
// AltGr) and lead to one item only.
void CheckMenuKeys(const QString& strMenu, const QStringList& arrTexts, QString strTaken) {
    for (const QString& strText : arrTexts) {
        const QChar key = MenuKey(strText);
        if (key.isNull()) {
            continue;
        }
        EXPECT_LT(key.unicode(), 128) << strMenu.toStdString() << ": " << strText.toStdString();
        EXPECT_FALSE(strTaken.contains(key))
            << strMenu.toStdString() << ": " << strText.toStdString() << " shares its key";
        strTaken += key;
    }
}

} // namespace

TEST(French, EveryMenuKeyCanBeTypedAndLeadsToOneItemTheContextMenuIncluded) {
    ASSERT_EQ(UserLanguage(), ELanguage::French);
    CTempDir library;
    WriteBytes(library.Path() / "a.mp3", Audio(1000) + MakeTag("Un", "Zoé"));
    CSettingsStore store;
    store.WriteString(CUserSettings::SECTION_MP3, "FilePath", library.Str());
    CUserSettings settings;
    settings.LoadSettings(store);
    const CTranslations translations(ELanguage::French);
    CScriptedModals modals;
    SFrameSeams seams;
    seams.pModals = &modals;
    CMainFrame frame(settings, store, seams);
    frame.StartUp(nullptr);
    ASSERT_TRUE(WaitForFolder(frame));

    // The menu bar's keys share Alt with the window's own Alt shortcuts (Alt+D: the address).
    QString strAltTaken;
    for (const QAction* pAction : frame.findChildren<QAction*>()) {
        for (const QKeySequence& keys : pAction->shortcuts()) {
            const QKeyCombination combination = keys[0];
            if (combination.keyboardModifiers() == Qt::AltModifier) {
                strAltTaken += QChar(combination.key()).toLower();
            }
        }
    }
    EXPECT_TRUE(strAltTaken.contains(QLatin1Char('d')));
    QStringList arrTitles;
    std::function<void(const QMenu*)> checkMenu = [&](const QMenu* pMenu) {
        QStringList arrTexts;
        for (const QAction* pAction : pMenu->actions()) {
            arrTexts << pAction->text();
            if (pAction->menu() != nullptr) {
                checkMenu(pAction->menu());
            }
        }
        CheckMenuKeys(pMenu->title(), arrTexts, QString());
    };
    for (const QAction* pAction : frame.menuBar()->actions()) {
        arrTitles << pAction->text();
        checkMenu(pAction->menu());
    }
    CheckMenuKeys(QStringLiteral("menu bar"), arrTitles, strAltTaken);

    QStringList arrContext;
    modals.OnMenu([&arrContext](QMenu& menu, const QPoint&) {
        for (const QAction* pAction : menu.actions()) {
            if (!pAction->isSeparator()) {
                arrContext << pAction->text();
            }
        }
        return static_cast<QAction*>(nullptr);
    });
    Q_EMIT frame.GetRightPane()->contextMenuRequested(QPoint(10, 10));
    EXPECT_EQ(arrContext,
              (QStringList{QStringLiteral("&Jouer"), QStringLiteral("&Ajouter à la file"),
                           QStringLiteral("&Copier"),
                           QStringLiteral("&Renommer d'après les étiquettes..."),
                           QStringLiteral("É&tiquettes d'après les noms..."),
                           QStringLiteral("&Propriétés...")}));
    CheckMenuKeys(QStringLiteral("context menu"), arrContext, QString());
}
