// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QString>

#include <string>
#include <string_view>

// The one crossing between the catalogue's UTF-8 texts and Qt's strings.
QString ToQString(std::string_view strText);
std::string ToStdString(const QString& strText);

// A text of the string table in the user's language.
QString LoadQString(unsigned nId);
