#pragma once
// The Store a QML-created helper works on: the one set on it (tests, a second window) or, until
// one is set, the application's. Setting null on purpose is kept apart from never having set one.
#include "store/store.h"

#include <QPointer>

class StoreRef
{
public:
    Store *get() const { return m_set ? m_store.data() : Store::instance(); }
    // False when `s` is already the one set: the caller then has nothing to follow or announce.
    bool set(Store *s)
    {
        if (m_set && m_store == s)
            return false;
        m_store = s;
        m_set = true;
        return true;
    }

private:
    QPointer<Store> m_store;
    bool m_set = false;
};
