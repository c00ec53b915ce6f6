// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Finds a group of a list of groups by its name, or adds it at the list's end, and files records
// into them: the artists and genres of the catalogue and the artists of a genre. The index lives
// beside the list it is given, which only it fills; its keys view the groups' own names, which stay
// where they are while the list grows.
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

    // The group a record of that name is filed into. The group of the record before is tried
    // first, as records of one group mostly come together; a group takes its place in the
    // filing order with its first record.
    TEntry* GroupToFile(std::string_view strName) {
        TEntry* pGroup = m_pLastFiled != nullptr && m_pLastFiled->GetName() == strName
                             ? m_pLastFiled
                             : FindOrAdd(strName);
        if (pGroup->m_arrTracks.empty()) {
            m_arrFiled.push_back(pGroup);
        }
        m_pLastFiled = pGroup;
        return pGroup;
    }

    // For filing anew into groups whose records were all taken out: they keep their names.
    void StartFiling() {
        m_pLastFiled = nullptr;
        m_arrFiled.clear();
    }

    // Drops the groups no record was filed into since StartFiling(), with their names' keys, and
    // puts the others in the order of their first record, as filing into new groups would have.
    void KeepFiled() {
        // Filing into a new index makes its groups in the order of their first record, and so
        // does a rebuild that emptied and moved no group: then there is nothing to drop or move,
        // which one look at the two lists of pointers tells without reading the groups.
        const bool bInPlace =
            m_arrFiled.size() == m_arrGroups.size() &&
            std::equal(m_arrFiled.begin(), m_arrFiled.end(), m_arrGroups.begin(),
                       [](const TEntry* pFiled, const std::unique_ptr<TEntry>& pGroup) {
                           return pFiled == pGroup.get();
                       });
        if (!bInPlace) {
            KeepFiledInOrder();
        }
        StartFiling();
        m_arrFiled.shrink_to_fit();
    }

    void Clear() {
        StartFiling();
        m_mapGroups.clear();
        m_arrGroups.clear();
    }

private:
    void KeepFiledInOrder() {
        Groups arrKept;
        arrKept.reserve(m_arrFiled.size()); // nothing below throws
        for (std::unique_ptr<TEntry>& pGroup : m_arrGroups) {
            if (pGroup->m_arrTracks.empty()) {
                m_mapGroups.erase(pGroup->GetName());
            } else {
                pGroup.release(); // owned again from m_arrFiled
            }
        }
        for (TEntry* pGroup : m_arrFiled) {
            arrKept.emplace_back(pGroup);
        }
        m_arrGroups = std::move(arrKept);
    }

    Groups& m_arrGroups;
    std::unordered_map<std::string_view, TEntry*> m_mapGroups;
    TEntry* m_pLastFiled = nullptr;
    std::vector<TEntry*> m_arrFiled; // groups in the order of their first record
};
