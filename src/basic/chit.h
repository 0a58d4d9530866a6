#pragma once

#include <QString>

#include <array>

namespace tallic {

// The fields of a chit, by their index in the entry window's Text1 and txtprev arrays.
namespace Field {
enum : int {
    GlAccount = 1,
    ChitNumber,
    ChitDate,
    Member,
    Employee,
    Covers,
    BaseSale,
    ServiceCharge,
    Tax,
    Total,
};
constexpr int First = GlAccount;
constexpr int Last = Total;
} // namespace Field

// A chit as OK takes it from the screen: the texts of its fields, and the memo when the
// memo is switched on.
struct Chit
{
    std::array<QString, Field::Last + 1> fields; // by Field; [0] is not used
    QString memo;

    bool operator==(const Chit &other) const = default;
    QString &operator[](int field) { return fields[field]; }
    const QString &operator[](int field) const { return fields[field]; }
};

} // namespace tallic
