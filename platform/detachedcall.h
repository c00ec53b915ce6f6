// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "platform/threadpost.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

// Runs a call that may block in the kernel (a look at a folder on a share that stopped
// answering) on a thread of its own, and hands its result to the owner's thread. Nothing waits
// for it: once the owner is gone, or has made a newer call, the result is dropped, and a call
// that never returns is left to the process's end.
class CDetachedCalls final {
public:
    explicit CDetachedCalls(QObject& owner) : m_pShared(std::make_shared<SShared>(&owner)) {}
    ~CDetachedCalls() {
        const std::lock_guard<std::mutex> lock(m_pShared->mutex);
        m_pShared->pOwner = nullptr;
    }
    CDetachedCalls(const CDetachedCalls&) = delete;
    CDetachedCalls& operator=(const CDetachedCalls&) = delete;

    // fnDone gets fnWork's result on the owner's thread, unless another call was made since.
    // Where no thread can be started, fnWork runs here and fnDone still comes later.
    template <typename TResult>
    void Run(std::function<TResult()> fnWork, std::function<void(TResult)> fnDone) {
        const unsigned nCall = ++m_nLastCall;
        auto fnRun = [pShared = m_pShared, nCall, fnWork = std::move(fnWork),
                      fnDone = std::move(fnDone)]() mutable {
            TResult result = fnWork();
            // Under the lock: the owner is never told after it has gone.
            const std::lock_guard<std::mutex> lock(pShared->mutex);
            if (pShared->pOwner == nullptr) {
                return;
            }
            PostToThreadOf(pShared->pOwner, [pShared, nCall, result = std::move(result),
                                             fnDone = std::move(fnDone)] {
                if (nCall == pShared->nLastCall) {
                    fnDone(result);
                }
            });
        };
        m_pShared->nLastCall = nCall;
        try {
            std::thread(fnRun).detach();
        } catch (const std::system_error&) {
            fnRun();
        }
    }

    // Drops the results of the calls made so far.
    void Forget() { m_pShared->nLastCall = ++m_nLastCall; }

private:
    struct SShared {
        explicit SShared(QObject* pOwnerOf) : pOwner(pOwnerOf) {}
        std::mutex mutex;
        QObject* pOwner;        // guarded by mutex; null once the owner has gone
        unsigned nLastCall = 0; // read and written on the owner's thread only
    };

    std::shared_ptr<SShared> m_pShared;
    unsigned m_nLastCall = 0;
};
