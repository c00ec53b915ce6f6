// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "panes/panehost.h"
#include "platform/textconv.h"

#include <string>
#include <vector>

// The main window as the panes see it. What they asked of it goes in order into a log of lines
// ("status LOCATION|DESCRIPTION|COUNT|SIZE", "start", "stop"), its own or one the test shares with
// other recorders; each status is also kept as given, and the pane switches are counted.
class CFakePaneHost final : public CPaneHost {
public:
    CFakePaneHost() : m_log(m_ownLog) {}
    explicit CFakePaneHost(std::vector<std::string>& log) : m_log(log) {}
    CFakePaneHost(const CFakePaneHost&) = delete;
    CFakePaneHost& operator=(const CFakePaneHost&) = delete;

    void SetStatusTexts(const SStatusTexts& texts) override {
        m_arrStatus.push_back(texts);
        m_log.push_back(ToStdString("status " + texts.strLocation + '|' + texts.strDescription +
                                    '|' + texts.strCount + '|' + texts.strSize));
    }
    void StartAnimation() override { m_log.push_back("start"); }
    void StopAnimation() override { m_log.push_back("stop"); }
    void SwitchPane() override { ++m_nSwitches; }

    std::vector<SStatusTexts> m_arrStatus;
    int m_nSwitches = 0;

private:
    std::vector<std::string> m_ownLog;
    std::vector<std::string>& m_log;
};
