#pragma once

namespace tallic {

// The ardaily row by position: the table's own column order is the layout, whichever
// program writes or reads a chit (posting, generation, the workspace editor).
namespace DailyColumn {
enum : int {
    GlAccount = 0,
    ChitNumber = 1,
    ChitDate = 2,
    Member = 3,
    Employee = 4,
    Covers = 5,
    BaseSale = 6,
    ServiceCharge = 7,
    Tax = 8,
    Total = 9,
    FirstReserved = 10,
    LastReserved = 13,
    ReservedText = 14,
    Origin = 15,
    Memo = 16,
    Source = 17,
    // How many a chit fills.
    Count = 18,
};
// What the Source column holds for a chit keyed on the entry screen or generated.
constexpr int EntrySource = 9;
} // namespace DailyColumn

} // namespace tallic
