// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/renamecommand.h"

#include "catalogue/filerenamer.h"
#include "catalogue/nameformat.h"
#include "catalogue/renameplan.h"
#include "catalogue/tagblock.h"
#include "catalogue/tagcodec.h"
#include "catalogue/trackinfo.h"

#include <cstring>

namespace {

std::string Arrow(const SRenameStep& step) {
    return step.OldPath() + " \xE2\x86\x92 " + step.NewPath() + "\n";
}

std::string FailureText(const SRenameOutcome& outcome) {
    switch (outcome.m_eResult) {
    case ERenameResult::Exists:
        return "a file of that name exists";
    case ERenameResult::Changed:
        return "it was moved or replaced meanwhile";
    case ERenameResult::Failed:
        return std::strerror(outcome.m_nErrno);
    case ERenameResult::Renamed:
        break;
    }
    return std::string();
}

} // namespace

std::string CRenameCommand::Refusal(const SRenameStep& step) {
    switch (step.m_eVerdict) {
    case ERenameVerdict::Exists:
        return "a file of that name exists";
    case ERenameVerdict::TakenBefore:
        return "a file before it takes that name";
    case ERenameVerdict::Missing:
        return "it is not there any more";
    case ERenameVerdict::Rename:
    case ERenameVerdict::Same:
    case ERenameVerdict::NoName:
    case ERenameVerdict::Duplicate:
        break;
    }
    return std::string();
}

int CRenameCommand::Run(const CNameFormat& format, const std::vector<std::string>& arrFiles,
                        const CTagCodec& codec, bool bDryRun, CFileOps& ops, std::FILE* pOut,
                        std::FILE* pErr) {
    int nExit = 0;
    std::vector<CRenamePlan::SWanted> arrWanted;
    for (const std::string& strPath : arrFiles) {
        const CTagBlock block = CTagBlock::Read(-1, strPath.c_str(), ops);
        // A tag that could not be read would give the name of an empty tag.
        if (!block.m_identity.IsFile() || block.m_nOpenError != 0) {
            std::fprintf(pErr, "tunebrowse: cannot rename '%s': %s\n", strPath.c_str(),
                         block.m_nOpenError != 0 ? std::strerror(block.m_nOpenError)
                                                 : "missing, or not a regular file");
            nExit = 1;
            continue;
        }
        const std::size_t nSlash = strPath.rfind('/');
        const CTrackInfo track(CSharedText(),
                               strPath.substr(nSlash == std::string::npos ? 0 : nSlash + 1), block,
                               codec);
        arrWanted.push_back({strPath, format.Expand(track)});
    }
    const CFileRenamer renamer(ops);
    for (const SRenameStep& step : CRenamePlan::Make(arrWanted, ops)) {
        std::string strFailure = Refusal(step);
        if (strFailure.empty() && step.m_eVerdict == ERenameVerdict::Rename) {
            if (bDryRun) {
                std::fputs(Arrow(step).c_str(), pOut);
                continue;
            }
            strFailure = FailureText(renamer.Rename(step));
        }
        if (!strFailure.empty()) {
            std::fprintf(pErr, "tunebrowse: cannot rename '%s' to '%s': %s\n",
                         step.OldPath().c_str(), step.m_strNewName.c_str(), strFailure.c_str());
            nExit = 1;
        }
    }
    return nExit;
}
