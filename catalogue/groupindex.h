// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Finds a group of a list of groups by its name, or adds it at the list's end: the artists and
// genres of the catalogue and the artists of a genre. The index lives beside the list it is given,
// which only it fills; its keys view the groups' own names, which stay where they are while the
// list grows.
template <class TEntry> class CGroupIndex {
public:
    using Groups = std::vector<std::unique_ptr<TEntry>>;

    explicit CGroupIndex(Groups& arrGroups) : m_arrGroups(arrGroups) {}
    CGroupIndex(const CGroupIndex&) = delete;
    CGroupIndex& operator=(const CGroupIndex&) = delete;

    TEntry* Find(std::string_view strName) const {
        const auto it = m_mapGroups.find(strName);
        return it == m_mapGroups.end() ? nullptr : it->second;
    }

    TEntry* Add(std::string strName) {
        TEntry* pGroup =
            m_arrGroups.emplace_back(std::make_unique<TEntry>(std::move(strName))).get();
        m_mapGroups.emplace(pGroup->GetName(), pGroup);
        return pGroup;
    }

    TEntry* FindOrAdd(std::string_view strName) {
        TEntry* pGroup = Find(strName);
        return pGroup != nullptr ? pGroup : Add(std::string(strName));
    }

    void Clear() {
        m_mapGroups.clear();
        m_arrGroups.clear();
    }

private:
    Groups& m_arrGroups;
    std::unordered_map<std::string_view, TEntry*> m_mapGroups;
};
