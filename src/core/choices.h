#pragma once
// The choices of the screens' switches, filters and sorts as enums. Their text keys exist only
// where the choice leaves the program: the server's query strings, CSV and screenshot names.
// Each enum has one table of keys here, and keys::toKey / keys::fromKey are the only
// conversions between the two.

#include <QObject>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

// The AI resources table.
namespace Ac {
Q_NAMESPACE
// Grouped by the accounts' owners, or one row per account.
enum class Mode { People, Accounts };
Q_ENUM_NS(Mode)
// The sortable columns, in table order.
enum class Sort { Provider, Account, Email, Status, Five, Seven, Model, Reset5, Eta, Reset, Cost, Who, Online };
Q_ENUM_NS(Sort)
// The status switch: every account, or those whose status word is the key.
enum class StatusFilter { All, Active, Hold };
Q_ENUM_NS(StatusFilter)
} // namespace Ac

// The team roster.
namespace Tm {
Q_NAMESPACE
// Every member, or those of one member type.
enum class Type { All, Member, Contractor };
Q_ENUM_NS(Type)
enum class Sort { Online, Name, Spec, Dept, Accounts, Seen };
Q_ENUM_NS(Sort)
} // namespace Tm

// The statistics screen.
namespace Stat {
Q_NAMESPACE
enum class Scope { Week, Month };
Q_ENUM_NS(Scope)
} // namespace Stat

namespace keys {

template <class E, std::size_t N>
using Entries = std::array<std::pair<E, std::string_view>, N>;

template <class E>
struct Table;

template <>
struct Table<Ac::Mode> {
    static constexpr Entries<Ac::Mode, 2> entries{{{Ac::Mode::People, "people"}, {Ac::Mode::Accounts, "accounts"}}};
};
template <>
struct Table<Ac::Sort> {
    using S = Ac::Sort;
    static constexpr Entries<S, 13> entries{{{S::Provider, "provider"}, {S::Account, "account"},
                                             {S::Email, "email"},       {S::Status, "status"},
                                             {S::Five, "five"},         {S::Seven, "seven"},
                                             {S::Model, "model"},       {S::Reset5, "reset5"},
                                             {S::Eta, "eta"},           {S::Reset, "reset"},
                                             {S::Cost, "cost"},         {S::Who, "who"},
                                             {S::Online, "online"}}};
};
template <>
struct Table<Ac::StatusFilter> {
    using F = Ac::StatusFilter;
    static constexpr Entries<F, 3> entries{{{F::All, "all"}, {F::Active, "active"}, {F::Hold, "hold"}}};
};
template <>
struct Table<Tm::Type> {
    using T = Tm::Type;
    static constexpr Entries<T, 3> entries{{{T::All, "all"}, {T::Member, "member"}, {T::Contractor, "contractor"}}};
};
template <>
struct Table<Tm::Sort> {
    using S = Tm::Sort;
    static constexpr Entries<S, 6> entries{{{S::Online, "online"}, {S::Name, "name"}, {S::Spec, "spec"},
                                            {S::Dept, "dept"}, {S::Accounts, "accounts"}, {S::Seen, "seen"}}};
};
template <>
struct Table<Stat::Scope> {
    static constexpr Entries<Stat::Scope, 2> entries{{{Stat::Scope::Week, "week"}, {Stat::Scope::Month, "month"}}};
};

// The key as a view of the table's own text: the filters compare it row by row without
// allocating a string each time.
template <class E>
QLatin1String keyView(E value)
{
    for (const auto &[v, key] : Table<E>::entries)
        if (v == value)
            return QLatin1String(key.data(), qsizetype(key.size()));
    return QLatin1String();
}

template <class E>
QString toKey(E value)
{
    return QString(keyView(value));
}

template <class E>
std::optional<E> fromKey(QStringView key)
{
    for (const auto &[v, k] : Table<E>::entries)
        if (key == QLatin1String(k.data(), qsizetype(k.size())))
            return v;
    return std::nullopt;
}

} // namespace keys
