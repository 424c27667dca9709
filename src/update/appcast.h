#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One release offered by the update feed (an RSS "item" in Sparkle's appcast format).
struct AppcastItem
{
    QString version; // sparkle:shortVersionString, else the version found in the title
    QString build; // sparkle:version, else the same as version
    QString notes; // plain text: markup removed, entities decoded
    QString link; // https only: the item's <link>, else its enclosure's url; empty if none
    bool linkRejected = false; // the feed gave a link that is not https (never exposed)
};

struct AppcastParse
{
    QList<AppcastItem> items; // in feed order; items for other systems or channels left out
    QString error; // Russian description when the feed cannot be read; empty on success
};

// Reads an RSS appcast. A feed that is not well-formed XML, not RSS, or has no usable item
// gives an error; items without any version are skipped.
AppcastParse parseAppcast(const QByteArray &xml);

// The newest item: highest version, then highest build. Empty for an empty list.
std::optional<AppcastItem> newestItem(const QList<AppcastItem> &items);

// True when a is a newer release than (version, build): versions first, builds break ties.
bool isNewer(const AppcastItem &a, const QString &version, const QString &build);

// Turns release notes (HTML or plain text) into plain text: scripts and styles dropped with
// their content, tags removed, block ends kept as line breaks, entities decoded once.
QString plainTextNotes(const QString &html);

// Only an absolute https URL with a host may be offered to the user to open.
bool isSafeLink(const QString &url);
