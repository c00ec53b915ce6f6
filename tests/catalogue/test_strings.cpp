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
