// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/cataloguehost.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The program around the document, as the tests see it: a pattern they choose, and a record of
// the folders remembered, of the wait cursor's depth and of the progress reports, the scan
// stopped at the report the test names.
class CFakeCatalogueHost final : public CCatalogueHost {
public:
    std::string GetFileExt() const override { return m_strPattern; }
    void WriteFilePath(const std::string& strFolder) override { m_arrWritten.push_back(strFolder); }
    void BeginWaitCursor() override { ++m_nWaitDepth; }
    void EndWaitCursor() override { --m_nWaitDepth; }
    bool OnScanProgress(std::size_t nFiles) override {
        m_arrProgress.push_back(nFiles);
        return m_arrProgress.size() < m_nStopAtCall;
    }

    std::string m_strPattern = "*.mp3";
    std::size_t m_nStopAtCall = SIZE_MAX;
    std::vector<std::string> m_arrWritten;
    std::vector<std::size_t> m_arrProgress;
    int m_nWaitDepth = 0;
};
