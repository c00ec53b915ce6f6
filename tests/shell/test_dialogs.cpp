// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "shell/aboutdlg.h"
#include "shell/frameplacement.h"
#include "shell/optionsheet.h"
#include "tests/support/fakes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString SettingsFile() {
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
           QStringLiteral("/Quillon Softs/Tunebrowse.conf");
}

void Press(QDialog& dialog, QDialogButtonBox::StandardButton eButton) {
    dialog.findChild<QDialogButtonBox*>()->button(eButton)->click();
}

class OptionSheet : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(SettingsFile()); }
    void TearDown() override { QFile::remove(SettingsFile()); }

    CUserSettings Reload() {
        CUserSettings settings;
        settings.LoadSettings(CSettingsStore());
        return settings;
    }

    CSettingsStore m_store;
    CUserSettings m_settings;
    CRecordingMessages m_messages;
    CScriptedModals m_modals;
};

} // namespace

TEST_F(OptionSheet, OkStoresTheButtonsAtOnce) {
    m_settings.m_nDoubleClickAction = 0;
    m_modals.OnDialog<COptionSheet>([](COptionSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Options");
        auto* pTabs = sheet.findChild<QTabWidget*>();
        ASSERT_EQ(pTabs->count(), 1);
        EXPECT_EQ(pTabs->tabText(0), "List options");
        EXPECT_TRUE(sheet.GetPage().m_pAction->button(0)->isChecked());
        EXPECT_TRUE(sheet.GetPage().m_pAlignment->button(0)->isChecked());
        ASSERT_EQ(sheet.GetPage().m_pAction->button(2)->text(), "P&roperties");
        ASSERT_EQ(sheet.GetPage().m_pAlignment->button(1)->text(), "&Center");
        sheet.GetPage().m_pAction->button(2)->click();
        sheet.GetPage().m_pFullRow->click();
        sheet.GetPage().m_pAlignment->button(1)->click();
        Press(sheet, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(COptionSheet::RunOptions(nullptr, m_messages, m_modals, m_settings, m_store));
    EXPECT_EQ(m_settings.m_nDoubleClickAction, 2);
    EXPECT_EQ(m_settings.m_bFullRowSelection, 1);
    EXPECT_EQ(m_settings.m_nColumnAlignment, 1);
    const CUserSettings stored = Reload();
    EXPECT_EQ(stored.m_nDoubleClickAction, 2);
    EXPECT_EQ(stored.m_bFullRowSelection, 1);
    EXPECT_EQ(stored.m_nColumnAlignment, 1);
}

TEST_F(OptionSheet, CancelChangesNothing) {
    m_modals.OnDialog<COptionSheet>([](COptionSheet& sheet) {
        sheet.GetPage().m_pAction->button(1)->click();
        Press(sheet, QDialogButtonBox::Cancel);
    });
    EXPECT_FALSE(COptionSheet::RunOptions(nullptr, m_messages, m_modals, m_settings, m_store));
    EXPECT_EQ(m_settings.m_nDoubleClickAction, 0);
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(OptionSheet, OutOfRangeValuesShowNoButtonAndSurviveAnUntouchedGroup) {
    m_settings.m_nDoubleClickAction = 3;
    m_settings.m_bFullRowSelection = 5;
    m_settings.m_nColumnAlignment = 7;
    m_modals.OnDialog<COptionSheet>([](COptionSheet& sheet) {
        COptionPage1& page = sheet.GetPage();
        for (QAbstractButton* pButton : std::initializer_list<QAbstractButton*>{
                 page.m_pAction->button(0), page.m_pAction->button(1), page.m_pAction->button(2),
                 page.m_pFullRow, page.m_pAlignment->button(0), page.m_pAlignment->button(1)}) {
            EXPECT_FALSE(pButton->isChecked()) << pButton->text().toStdString();
        }
        Press(sheet, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(COptionSheet::RunOptions(nullptr, m_messages, m_modals, m_settings, m_store));
    const CUserSettings stored = Reload();
    EXPECT_EQ(stored.m_nDoubleClickAction, 3);
    EXPECT_EQ(stored.m_bFullRowSelection, 0); // the check box was clear
    EXPECT_EQ(stored.m_nColumnAlignment, 7);
}

TEST(AboutDlg, ShowsTheVersionAndHandsTheAddressToTheDesktop) {
    std::vector<std::string> arrOpened;
    CAboutDlg dialog([&arrOpened](const std::string& strUrl) { arrOpened.push_back(strUrl); },
                     QStringLiteral("https://home.test/"));
    bool bNameShown = false;
    for (const QLabel* pLabel : dialog.findChildren<QLabel*>()) {
        bNameShown |= pLabel->text() == "Tunebrowse - version 1.5.0";
    }
    EXPECT_TRUE(bNameShown);
    QPushButton* pLink = nullptr;
    for (QPushButton* pButton : dialog.findChildren<QPushButton*>()) {
        if (pButton->text() == dialog.m_strLink) {
            pLink = pButton;
        }
    }
    ASSERT_NE(pLink, nullptr);
    pLink->click();
    pLink->click();
    EXPECT_EQ(arrOpened, (std::vector<std::string>{dialog.m_strLink.toStdString(),
                                                   dialog.m_strLink.toStdString()}));
}

TEST_F(OptionSheet, KeepTimesAndTheTagEncodingAreStoredOnOk) {
    const struct {
        const char* pszStored;
        int nShownIndex; // in the encoding list
        const char* pszChosen;
        const char* pszExpected;
    } aCases[] = {
        {"Automatic", 0, "Windows-1251", "Windows-1251"},
        {"koi8-r", -1, nullptr, "KOI8-R"}, // names are matched whatever their case
        {"no such code page", 0, nullptr, "Automatic"},
        {"Windows-1252", -1, "Automatic", "Automatic"},
    };
    for (const auto& c : aCases) {
        m_settings.m_bKeepFileTimes = 0;
        m_settings.m_strTagEncoding = c.pszStored;
        m_modals.OnDialog<COptionSheet>([&c](COptionSheet& sheet) {
            COptionPage1& page = sheet.GetPage();
            EXPECT_FALSE(page.m_pKeepTimes->isChecked());
            EXPECT_EQ(page.m_pEncoding->itemText(0), "Automatic");
            EXPECT_EQ(page.m_pEncoding->count(), static_cast<int>(CTagCodec::Names().size()));
            const QString strStoredName =
                QString::fromStdString(COptionSheet::TagCodecOf(c.pszStored).GetName());
            EXPECT_EQ(page.m_pEncoding->currentData().toString(), strStoredName) << c.pszStored;
            if (c.nShownIndex >= 0) {
                EXPECT_EQ(page.m_pEncoding->currentIndex(), c.nShownIndex) << c.pszStored;
            }
            page.m_pKeepTimes->click();
            if (c.pszChosen != nullptr) {
                page.m_pEncoding->setCurrentIndex(
                    page.m_pEncoding->findData(QString::fromUtf8(c.pszChosen)));
            }
            Press(sheet, QDialogButtonBox::Ok);
        });
        EXPECT_TRUE(COptionSheet::RunOptions(nullptr, m_messages, m_modals, m_settings, m_store));
        EXPECT_EQ(m_settings.m_bKeepFileTimes, 1) << c.pszStored;
        EXPECT_EQ(m_settings.m_strTagEncoding, c.pszExpected) << c.pszStored;
        const CUserSettings stored = Reload();
        EXPECT_EQ(stored.m_bKeepFileTimes, 1) << c.pszStored;
        EXPECT_EQ(stored.m_strTagEncoding, c.pszExpected) << c.pszStored;
    }
}

// A link drawn in a fixed blue cannot be read on a dark palette: it takes the palette's colour.
// The program has no home page: its box shows no address at all, made up or not.
TEST(AboutDlg, WithoutAHomePageShowsNoLink) {
    CAboutDlg dialog([](const std::string&) {});
    EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 1); // OK
    for (const QLabel* pLabel : dialog.findChildren<QLabel*>()) {
        EXPECT_FALSE(pLabel->text().contains(QStringLiteral("http")))
            << pLabel->text().toStdString();
        EXPECT_FALSE(pLabel->text().contains(QStringLiteral("support")));
    }
}

TEST(AboutDlg, DrawsTheLinkInThePalettesLinkColour) {
    CAboutDlg dialog([](const std::string&) {}, QStringLiteral("https://home.test/"));
    QPalette palette = dialog.palette();
    const QColor light(0x7a, 0xb7, 0xff);
    palette.setColor(QPalette::Link, light);
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::Button, Qt::black);
    dialog.setPalette(palette);
    dialog.show();
    QPushButton* pLink = nullptr;
    for (QPushButton* pButton : dialog.findChildren<QPushButton*>()) {
        if (pButton->text() == dialog.m_strLink) {
            pLink = pButton;
        }
    }
    ASSERT_NE(pLink, nullptr);
    const QImage image = pLink->grab().toImage();
    bool bLight = false, bBlue = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            bLight |= pixel == light;
            bBlue |= pixel == QColor(0, 0, 255);
        }
    }
    EXPECT_TRUE(bLight);
    EXPECT_FALSE(bBlue);
}

// The outer rectangle as stored, and as the window opens on a 1280x1024 screen with a 24-pixel
// panel at the top.
TEST(FramePlacement, KeepsWhatFitsAndBringsTheRestOnScreen) {
    const QRect rectScreen(0, 24, 1280, 1000);
    const struct {
        QRect rectStored;
        QRect rectPlaced;
    } aCases[] = {
        {{50, 50, 600, 400}, {50, 50, 600, 400}},        // fits: kept to the pixel
        {{0, 24, 1280, 1000}, {0, 24, 1280, 1000}},      // the whole free area
        {{2200, 50, 600, 400}, {680, 50, 600, 400}},     // right of the screen
        {{-900, -500, 600, 400}, {0, 24, 600, 400}},     // above and left
        {{50, 50, 100000, 100000}, {0, 24, 1280, 1000}}, // larger than the screen
        {{700, 900, 800, 300}, {480, 724, 800, 300}},    // past two edges
        {{50, 2000, 0, -5}, {50, 624, 600, 400}},        // no size at all
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(CFramePlacement::Fit(c.rectStored, rectScreen), c.rectPlaced) << c.rectStored.x();
    }
}
