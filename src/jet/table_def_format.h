// The stored layout of a table definition (tdef pages, type 0x02): what the reader, the writer
// of definitions and the table writer's counters agree on.
//
// Format: docs/format.md, table definitions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::tdef {

// Page header of every tdef page.
constexpr size_t kOffNextPage = 4;  // next tdef page, 0 = none

// Fixed header, at offsets into the concatenated definition (page 1 whole, then bytes 8.. of
// each continuation page).
constexpr size_t kOffDefLength = 8;  // the whole logical length, terminator included
constexpr size_t kOffMagic = 12;
constexpr size_t kOffRowCount = 16;
constexpr size_t kOffLastAutonumber = 20;
constexpr size_t kOffAutonumberEnabled = 24;
constexpr size_t kOffTableType = 40;
constexpr size_t kOffMaxCols = 41;
constexpr size_t kOffVarCols = 43;
constexpr size_t kOffColCount = 45;
constexpr size_t kOffLogicalIndexCount = 47;
constexpr size_t kOffRealIndexCount = 51;
constexpr size_t kOffOwnedMap = 55;
constexpr size_t kOffFreeSpaceMap = 59;
constexpr size_t kHeaderSize = 63;  // the real-index statistics follow

// Sections after the header, in order.
constexpr size_t kRealIndexStatsSize = 12;  // per real index
constexpr size_t kOffStatsUniqueCount = 4;  // within an index's statistics
constexpr size_t kColumnSize = 25;
constexpr size_t kRealIndexSize = 52;
constexpr size_t kLogicalIndexSize = 28;
constexpr size_t kMaxIndexColumns = 10;

constexpr uint32_t kTableMagic = 1625;
constexpr uint32_t kRealIndexMagic = 1923;
constexpr uint16_t kNoColumn = 0xFFFF;

}  // namespace jet::tdef
