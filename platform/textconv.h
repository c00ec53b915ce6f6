#pragma once

#include <QString>

#include <string>

// The one crossing between the catalogue's UTF-8 texts and Qt's strings.
QString ToQString(const std::string& strText);
std::string ToStdString(const QString& strText);

// A text of the string table in the user's language.
QString LoadQString(unsigned nId);
