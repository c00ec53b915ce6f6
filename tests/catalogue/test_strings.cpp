// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "res/strings.h"

#include <gtest/gtest.h>

TEST(Strings, LanguageFollowsTheFirstSetLocaleVariable) {
    EXPECT_EQ(LanguageFromLocale("fr_FR.UTF-8", "en_US", "en_US"), ELanguage::French);
    EXPECT_EQ(LanguageFromLocale("C", "fr_FR", "fr_FR"), ELanguage::English);
    EXPECT_EQ(LanguageFromLocale("", "fr_CA", "en_US"), ELanguage::French);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "fr_BE.UTF-8"), ELanguage::French);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, nullptr), ELanguage::English);
    EXPECT_STREQ(LoadString(IDS_SIZE_FORMAT, ELanguage::French), "%5.1f Mo");
    EXPECT_STREQ(LoadString(1, ELanguage::English), "");
}

// Every text takes its values as %1, %2, ... (QString::arg, FormatString); only the size keeps its
// number format.
TEST(Strings, PlaceholdersAreNumberedInBothLanguages) {
    for (const unsigned nId : StringIds()) {
        for (const ELanguage eLanguage : {ELanguage::English, ELanguage::French}) {
            std::string strText = LoadString(nId, eLanguage);
            if (nId == IDS_SIZE_FORMAT) {
                strText.erase(strText.find("%5.1f"), 5);
            }
            for (std::size_t nAt = strText.find('%'); nAt != std::string::npos;
                 nAt = strText.find('%', nAt + 2)) {
                EXPECT_TRUE(nAt + 1 < strText.size() && strText[nAt + 1] >= '1' &&
                            strText[nAt + 1] <= '9')
                    << nId << ": " << strText;
            }
        }
    }
    const struct {
        unsigned nId;
        std::string strArg;
        const char* pszExpected;
    } aCases[] = {
        {IDS_NODE_FILES, "0", "0 file(s)"},
        {IDS_NODE_FILES, "123456", "123456 file(s)"},
        {IDS_FILES_SELECTED, "%1", "%1 files selected"}, // an argument is not read again
        {IDS_SCANNING, "", "Reading:  file(s)"},
        {IDS_APP_TITLE, "x", "Tunebrowse"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(FormatString(c.nId, c.strArg), c.pszExpected) << c.nId;
    }
}
