// Demo team: seeded into an empty database on request, and an optional simulation of the team's
// machines at work, reporting through the same intake as real ones, so that the screens have
// something moving.
#pragma once

#include "db.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

struct DemoLogin {
    QString login;
    QString password;
    QString role;
};

// Fills an empty database; returns the sign-ins to print. With a seed the data (passwords
// included) is the same on every run; times are always relative to now.
QList<DemoLogin> seedDemo(Db &db, std::optional<quint32> seed, int extraAccounts);

// An empty database without the demo gets one administrator, "admin", with a one-time password
// that must be changed at the first sign-in; otherwise nobody could ever sign in.
DemoLogin seedFirstAdmin(Db &db);

// Adds `count` synthetic accounts with devices and sessions (load testing).
void addSyntheticAccounts(Db &db, QRandomGenerator &rng, int count);

class Simulator : public QObject {
public:
    Simulator(Db &db, quint32 seed, int intervalMs, QObject *parent = nullptr);
    void tick();

private:
    bool rngChance(int percent);

    Db &m_db;
    QRandomGenerator m_rng;
    QTimer m_timer;
    bool m_started = false;
    QHash<qint64, bool> m_atWork;       // by device: the simulated machine is in use
    QHash<qint64, QString> m_sessions;  // by device: its current session

};
