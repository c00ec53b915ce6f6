// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/textconv.h"

#include "res/strings.h"

QString ToQString(std::string_view strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

std::string ToStdString(const QString& strText) {
    return strText.toUtf8().toStdString();
}

QString LoadQString(unsigned nId) {
    return QString::fromUtf8(LoadString(nId));
}
