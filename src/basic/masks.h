#pragma once

#include <QString>

namespace tallic {

// A number written with a mask such as "#######.#0" (two decimals) or "#####.##0"
// (three): rounded half away from zero at the last decimal, a point, no thousands
// separator, no zero before the point when the whole part is 0 (".50", ".00"), a leading
// minus for negatives. The count of "#" does not limit the digits. A mask with a comma
// before the point ("###,###.#0") groups the thousands with commas.
QString formatMask(double value, const QString &mask);

// A number in its shortest decimal form, as statements and captions write it
// (4010, 1001.01, -0.5, 0).
QString shortestNumber(double value);

} // namespace tallic
