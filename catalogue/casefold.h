// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Letter case as the pattern, the filter and the tree leave it out: Unicode's simple case folding,
// one character to one ("É" to "é", "Σ" and "ς" to "σ", the Kelvin sign to "k"). Texts are UTF-8;
// a byte that begins no character counts as U+FFFD, as the list shows it.

// The character a letter stands for when letter case does not count. Anything else is itself.
char32_t FoldCase(char32_t nCode);

// Every character that folds to nFolded, nFolded first.
std::vector<char32_t> CharactersFoldingTo(char32_t nFolded);

// The text with every character folded, as UTF-8.
std::string FoldText(std::string_view strText);

// The order of names where letter case does not count, ties broken by the exact name; each
// name is given with its folded text, made once rather than at every comparison.
bool IsBeforeFolded(std::string_view strFolded1, std::string_view strName1,
                    std::string_view strFolded2, std::string_view strName2);

// The order of the folded texts, character by character (less than zero, zero, or more): the
// order of names where letter case does not count. Equal texts may still differ in case.
int CompareFolded(std::string_view str1, std::string_view str2);
