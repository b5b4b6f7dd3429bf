// The two date systems a workbook counts its dates in.
#pragma once

namespace brisquel::sheets {

// Where a workbook counts its dates from: serial 1 is 1900-01-01 (with the leap day
// 1900-02-29 that never was), or serial 0 is 1904-01-01.
enum class DateSystem { From1900, From1904 };

} // namespace brisquel::sheets
