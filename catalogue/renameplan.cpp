// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/renameplan.h"

#include "catalogue/posixio.h"
#include "catalogue/utf8.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

// Characters that end a name early, split it into folders or reach a terminal as commands.
std::string Sanitised(std::string_view strStem) {
    std::string strSafe;
    for (std::size_t i = 0; i < strStem.size(); ++i) {
        const auto c = static_cast<unsigned char>(strStem[i]);
        const bool bC1 = c == 0xC2 && i + 1 < strStem.size() &&
                         static_cast<unsigned char>(strStem[i + 1]) >= 0x80 &&
                         static_cast<unsigned char>(strStem[i + 1]) <= 0x9F;
        if (c == '/' || c < 0x20 || c == 0x7F || bC1) {
            strSafe += '_';
            i += bC1 ? 1 : 0;
        } else {
            strSafe += static_cast<char>(c);
        }
    }
    return strSafe;
}

std::string_view Trimmed(std::string_view str) {
    const std::size_t nFirst = str.find_first_not_of(' ');
    if (nFirst == std::string_view::npos) {
        return std::string_view();
    }
    return str.substr(nFirst, str.find_last_not_of(' ') - nFirst + 1);
}

std::pair<std::string, std::string> SplitPath(const std::string& strPath) {
    const std::size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos) {
        return {std::string(), strPath};
    }
    return {strPath.substr(0, nSlash + 1), strPath.substr(nSlash + 1)};
}

} // namespace

bool SRenameStep::IsRefused() const {
    return m_eVerdict == ERenameVerdict::Exists || m_eVerdict == ERenameVerdict::TakenBefore ||
           m_eVerdict == ERenameVerdict::Missing;
}

std::pair<std::string_view, std::string_view>
CRenamePlan::SplitExtension(std::string_view strName) {
    const std::size_t nDot = strName.rfind('.');
    if (nDot == std::string_view::npos || nDot == 0) {
        return {strName, std::string_view()};
    }
    return {strName.substr(0, nDot), strName.substr(nDot)};
}

std::string CRenamePlan::MakeName(std::string_view strStem, std::string_view strExtension,
                                  std::size_t nMaxBytes) {
    if (strExtension.size() >= nMaxBytes) {
        return std::string();
    }
    std::string strSafe(Trimmed(Sanitised(strStem)));
    const std::size_t nRoom = nMaxBytes - strExtension.size();
    if (strSafe.size() > nRoom) {
        strSafe = std::string(
            Trimmed(std::string_view(strSafe).substr(0, Utf8CutLength(strSafe, nRoom))));
    }
    if (strSafe.empty()) {
        return std::string();
    }
    std::string strName = strSafe + std::string(strExtension);
    return strName == "." || strName == ".." ? std::string() : strName;
}

std::size_t CRenamePlan::NameMaxOf(const std::string& strFolder) {
    const long nMax = ::pathconf(strFolder.empty() ? "." : strFolder.c_str(), _PC_NAME_MAX);
    return nMax > 0 && nMax < NAME_MAX ? static_cast<std::size_t>(nMax) : NAME_MAX;
}

std::vector<SRenameStep> CRenamePlan::Make(const std::vector<SWanted>& arrWanted, CFileOps& ops) {
    std::vector<SRenameStep> arrSteps;
    std::set<std::pair<dev_t, ino_t>> setSeen;
    std::set<std::string> setTaken; // new paths given so far
    std::map<std::string, std::size_t> mapNameMax;
    for (const SWanted& wanted : arrWanted) {
        SRenameStep step;
        std::tie(step.m_strFolder, step.m_strOldName) = SplitPath(wanted.strPath);
        struct stat st;
        if (ops.Lstat(wanted.strPath.c_str(), &st) != 0) {
            arrSteps.push_back(std::move(step));
            continue;
        }
        step.m_nDevice = st.st_dev;
        step.m_nInode = st.st_ino;
        if (!setSeen.insert({st.st_dev, st.st_ino}).second) {
            step.m_eVerdict = ERenameVerdict::Duplicate;
            arrSteps.push_back(std::move(step));
            continue;
        }
        auto itMax = mapNameMax.find(step.m_strFolder);
        if (itMax == mapNameMax.end()) {
            itMax = mapNameMax.emplace(step.m_strFolder, NameMaxOf(step.m_strFolder)).first;
        }
        step.m_strNewName =
            MakeName(wanted.strStem, SplitExtension(step.m_strOldName).second, itMax->second);
        struct stat stOther;
        if (step.m_strNewName.empty()) {
            step.m_eVerdict = ERenameVerdict::NoName;
        } else if (step.m_strNewName == step.m_strOldName) {
            step.m_eVerdict = ERenameVerdict::Same;
        } else if (setTaken.count(step.NewPath()) != 0) {
            step.m_eVerdict = ERenameVerdict::TakenBefore;
        } else if (ops.Lstat(step.NewPath().c_str(), &stOther) == 0) {
            step.m_eVerdict = ERenameVerdict::Exists;
        } else {
            step.m_eVerdict = ERenameVerdict::Rename;
            setTaken.insert(step.NewPath());
        }
        arrSteps.push_back(std::move(step));
    }
    return arrSteps;
}
