#pragma once
// The fixed table of AI providers: display label and brand colour per provider key.
// Keys outside the table are shown as "other" everywhere a label, colour or logo is needed.

#include <QMap>
#include <QString>

struct ProvMeta {
    QString label;
    quint32 hex = 0; // 0xRRGGBB
};

const QMap<QString, ProvMeta> &PROVIDERS();
// The key itself when it is in the table, else "other".
QString providerKey(const QString &key);
ProvMeta providerMeta(const QString &key);
// The provider's colour as "#RRGGBB".
QString providerColorHex(const QString &key);
