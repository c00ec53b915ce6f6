#include "platform/textconv.h"

QString ToQString(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

std::string ToStdString(const QString& strText) {
    return strText.toUtf8().toStdString();
}
